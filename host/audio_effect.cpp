#include "host/audio_effect.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace orv {

namespace {

AudioEffect* instanceOf(vst::AEffect* e) { return e != nullptr ? static_cast<AudioEffect*>(e->object) : nullptr; }

intptr_t dispatchEntry(vst::AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  AudioEffect* effect = instanceOf(e);
  if (effect == nullptr) return 0;
  if (opcode == vst::effClose) {
    effect->dispatcher(opcode, index, value, ptr, opt);
    delete effect;
    return 1;
  }
  return effect->dispatcher(opcode, index, value, ptr, opt);
}

void processEntry(vst::AEffect*, float**, float**, int32_t) {}  // the accumulating call is not supported

void processReplacingEntry(vst::AEffect* e, float** inputs, float** outputs, int32_t frames) {
  if (AudioEffect* effect = instanceOf(e)) effect->processReplacing(inputs, outputs, frames);
}

void processDoubleReplacingEntry(vst::AEffect* e, double** inputs, double** outputs, int32_t frames) {
  if (AudioEffect* effect = instanceOf(e)) effect->processDoubleReplacing(inputs, outputs, frames);
}

void setParameterEntry(vst::AEffect* e, int32_t index, float value) {
  if (AudioEffect* effect = instanceOf(e)) effect->setParameter(index, value);
}

float getParameterEntry(vst::AEffect* e, int32_t index) {
  AudioEffect* effect = instanceOf(e);
  return effect != nullptr ? effect->getParameter(index) : 0.0f;
}

// Narrows a host-supplied integer; anything outside 32 bits becomes `fallback`.
int32_t toInt32(intptr_t value, int32_t fallback) {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return fallback;
  return static_cast<int32_t>(value);
}

}  // namespace

bool AEffEditor::getRect(vst::ERect** rect) {
  if (rect != nullptr) *rect = nullptr;
  return false;
}

bool AEffEditor::open(void* window) {
  systemWindow = window;
  return false;
}

AudioEffect::AudioEffect(vst::HostCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
  cEffect.magic = vst::kEffectMagic;
  cEffect.dispatcher = dispatchEntry;
  cEffect.process = processEntry;
  cEffect.setParameter = setParameterEntry;
  cEffect.getParameter = getParameterEntry;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.flags = vst::effFlagsCanReplacing;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = vst::fourCC('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = processReplacingEntry;
  cEffect.processDoubleReplacing = processDoubleReplacingEntry;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  setFlag(vst::effFlagsHasEditor, newEditor != nullptr);
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return audioMaster != nullptr ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
  setParameter(index, value);
  callHost(vst::audioMasterAutomate, index, 0, nullptr, value);
}

int32_t AudioEffect::getMasterVersion() {
  const intptr_t version = callHost(vst::audioMasterVersion);
  return version != 0 ? toInt32(version, 1) : 1;
}

void AudioEffect::masterIdle() { callHost(vst::audioMasterIdle); }

// A host that does not answer counts the pin as connected.
bool AudioEffect::isInputConnected(int32_t input) { return callHost(vst::audioMasterPinConnected, input, 0) == 0; }

bool AudioEffect::isOutputConnected(int32_t output) {
  return callHost(vst::audioMasterPinConnected, output, 1) == 0;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  auto* text = static_cast<char*>(ptr);
  switch (opcode) {
    case vst::effOpen:
      open();
      return 0;
    case vst::effClose:
      close();
      return 0;
    case vst::effSetProgram:
      if (value < numPrograms) setProgram(toInt32(value, 0));
      return 0;
    case vst::effGetProgram:
      return getProgram();
    case vst::effSetProgramName:
      if (text != nullptr) setProgramName(text);
      return 0;
    case vst::effGetProgramName:
      if (text != nullptr) getProgramName(text);
      return 0;
    case vst::effGetParamLabel:
      if (text != nullptr) getParameterLabel(index, text);
      return 0;
    case vst::effGetParamDisplay:
      if (text != nullptr) getParameterDisplay(index, text);
      return 0;
    case vst::effGetParamName:
      if (text != nullptr) getParameterName(index, text);
      return 0;
    case vst::effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case vst::effSetBlockSize:
      setBlockSize(toInt32(value, blockSize));
      return 0;
    case vst::effMainsChanged:
      if (value == 0) suspend();
      else resume();
      return 0;
    case vst::effEditGetRect:
      return editor != nullptr && editor->getRect(static_cast<vst::ERect**>(ptr)) ? 1 : 0;
    case vst::effEditOpen:
      return editor != nullptr && editor->open(ptr) ? 1 : 0;
    case vst::effEditClose:
      if (editor != nullptr) editor->close();
      return 0;
    case vst::effEditIdle:
      if (editor != nullptr) editor->idle();
      return 0;
    case vst::effIdentify:
      return vst::fourCC('N', 'v', 'E', 'f');
    case vst::effGetChunk:
      return ptr != nullptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case vst::effSetChunk:
      // A size beyond 32 bits can only be wrong; let the effect refuse it.
      return setChunk(ptr, toInt32(value, -1), index != 0);
    default:
      return 0;
  }
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  auto* text = static_cast<char*>(ptr);
  switch (opcode) {
    case vst::effCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case vst::effString2Parameter:
      if (text != nullptr) string2parameter(index, text);
      return 0;
    case vst::effGetProgramNameIndexed:
      return text != nullptr && getProgramNameIndexed(toInt32(value, 0), index, text) ? 1 : 0;
    case vst::effGetInputProperties:
      return ptr != nullptr && getInputProperties(index, static_cast<vst::VstPinProperties*>(ptr)) ? 1 : 0;
    case vst::effGetOutputProperties:
      return ptr != nullptr && getOutputProperties(index, static_cast<vst::VstPinProperties*>(ptr)) ? 1 : 0;
    case vst::effGetPlugCategory:
      return getPlugCategory();
    case vst::effSetSpeakerArrangement: {
      auto* input = reinterpret_cast<vst::VstSpeakerArrangement*>(value);
      auto* output = static_cast<vst::VstSpeakerArrangement*>(ptr);
      return input != nullptr && output != nullptr && setSpeakerArrangement(input, output) ? 1 : 0;
    }
    case vst::effSetBypass:
      setBypass(value != 0);
      return 0;
    case vst::effGetEffectName:
      return text != nullptr && getEffectName(text) ? 1 : 0;
    case vst::effGetVendorString:
      return text != nullptr && getVendorString(text) ? 1 : 0;
    case vst::effGetProductString:
      return text != nullptr && getProductString(text) ? 1 : 0;
    case vst::effGetVendorVersion:
      return getVendorVersion();
    case vst::effCanDo:
      return text != nullptr ? canDo(text) : 0;
    case vst::effGetTailSize:
      return getGetTailSize();
    case vst::effGetParameterProperties:
      return ptr != nullptr && getParameterProperties(index, static_cast<vst::VstParameterProperties*>(ptr)) ? 1 : 0;
    case vst::effGetVstVersion:
      return getVstVersion();
    case vst::effEditKeyDown:
    case vst::effEditKeyUp: {
      if (editor == nullptr) return 0;
      vst::VstKeyCode key = makeKeyCode(index, value, opt);
      const bool handled = opcode == vst::effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
      return handled ? 1 : 0;
    }
    case vst::effSetEditKnobMode:
      return editor != nullptr && editor->setKnobMode(toInt32(value, 0)) ? 1 : 0;
    case vst::effGetCurrentMidiProgram:
      return -1;
    case vst::effGetSpeakerArrangement:
      // Both arguments are addresses of arrangement pointers.
      if (value != 0) *reinterpret_cast<vst::VstSpeakerArrangement**>(value) = nullptr;
      if (ptr != nullptr) *static_cast<vst::VstSpeakerArrangement**>(ptr) = nullptr;
      return 0;
    case vst::effSetTotalSampleToProcess:
      return setTotalSampleToProcess(toInt32(value, 0));
    case vst::effSetProcessPrecision:
      return setProcessPrecision(toInt32(value, -1)) ? 1 : 0;
    case vst::effProcessEvents:
    case vst::effOfflineNotify:
    case vst::effOfflinePrepare:
    case vst::effOfflineRun:
    case vst::effProcessVarIo:
    case vst::effVendorSpecific:
    case vst::effGetMidiProgramName:
    case vst::effGetMidiProgramCategory:
    case vst::effHasMidiProgramsChanged:
    case vst::effGetMidiKeyName:
    case vst::effBeginSetProgram:
    case vst::effEndSetProgram:
    case vst::effShellGetNextPlugin:
    case vst::effStartProcess:
    case vst::effStopProcess:
    case vst::effSetPanLaw:
    case vst::effBeginLoadBank:
    case vst::effBeginLoadProgram:
    case vst::effGetNumMidiInputChannels:
    case vst::effGetNumMidiOutputChannels:
      return 0;
    default:
      return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}

bool AudioEffectX::beginEdit(int32_t index) { return callHost(vst::audioMasterBeginEdit, index) != 0; }

bool AudioEffectX::endEdit(int32_t index) { return callHost(vst::audioMasterEndEdit, index) != 0; }

int32_t AudioEffectX::updateBlockSize() {
  const intptr_t size = callHost(vst::audioMasterGetBlockSize);
  if (size > 0) blockSize = toInt32(size, blockSize);
  return blockSize;
}

int32_t AudioEffectX::getOutputLatency() { return toInt32(callHost(vst::audioMasterGetOutputLatency), 0); }

int32_t AudioEffectX::getPlugCategory() {
  return (cEffect.flags & vst::effFlagsIsSynth) != 0 ? vst::kPlugCategSynth : vst::kPlugCategUnknown;
}

bool AudioEffectX::updateDisplay() { return callHost(vst::audioMasterUpdateDisplay) != 0; }

vst::VstKeyCode makeKeyCode(int32_t index, intptr_t value, float opt) {
  // Truncation toward zero; values no integer can hold count as 0.
  const int32_t modifier = std::isfinite(opt) && std::fabs(opt) < 2147483520.0f ? static_cast<int32_t>(opt) : 0;
  vst::VstKeyCode key{};
  key.character = index;
  key.virt = static_cast<unsigned char>(static_cast<uintptr_t>(value) & 0xFF);
  key.modifier = static_cast<unsigned char>(static_cast<uint32_t>(modifier) & 0xFF);
  return key;
}

}  // namespace orv
