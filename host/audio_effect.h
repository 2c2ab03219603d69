// Effect and editor base classes between the host's record and the products.
// AudioEffect owns the record the host drives; AudioEffectX answers the
// extended opcodes. Products derive through the preset system and override
// the operations the host asks about.
#pragma once

#include <cstdint>

#include "host/vst_abi.h"

namespace orv {

class AudioEffect;

class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
  virtual ~AEffEditor() = default;
  AEffEditor(const AEffEditor&) = delete;
  AEffEditor& operator=(const AEffEditor&) = delete;

  virtual AudioEffect* getEffect() { return effect; }
  virtual bool getRect(vst::ERect** rect);
  virtual bool open(void* window);
  virtual void close() { systemWindow = nullptr; }
  virtual bool isOpen() { return systemWindow != nullptr; }
  virtual void idle() {}
  virtual bool onKeyDown(vst::VstKeyCode& /*key*/) { return false; }
  virtual bool onKeyUp(vst::VstKeyCode& /*key*/) { return false; }
  virtual bool onWheel(float /*distance*/) { return false; }
  virtual bool setKnobMode(int32_t /*mode*/) { return false; }

  // Notifications from the effect side, overridden by the editors: a parameter
  // changed, the current preset was renamed, registry defaults should load.
  virtual void setParameter(int32_t /*index*/, float /*value*/) {}
  virtual void programNameChanged(const char* /*name*/) {}
  virtual void loadDefaults() {}

 protected:
  AudioEffect* effect;
  void* systemWindow = nullptr;
};

class AudioEffect {
 public:
  AudioEffect(vst::HostCallback audioMaster, int32_t numPrograms, int32_t numParams);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}
  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual void setBlockSize(int32_t size) { blockSize = size; }
  virtual void processReplacing(float** /*inputs*/, float** /*outputs*/, int32_t /*frames*/) {}
  virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, int32_t /*frames*/) {}
  virtual void setParameter(int32_t /*index*/, float /*value*/) {}
  virtual float getParameter(int32_t /*index*/) { return 0.0f; }
  virtual void setParameterAutomated(int32_t index, float value);
  virtual int32_t getProgram() { return curProgram; }
  virtual void setProgram(int32_t program) { curProgram = program; }
  virtual void setProgramName(char* /*name*/) {}
  virtual void getProgramName(char* name) { name[0] = '\0'; }
  virtual void getParameterLabel(int32_t /*index*/, char* label) { label[0] = '\0'; }
  virtual void getParameterDisplay(int32_t /*index*/, char* text) { text[0] = '\0'; }
  virtual void getParameterName(int32_t /*index*/, char* text) { text[0] = '\0'; }
  virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
  virtual int32_t setChunk(void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/) { return 0; }
  virtual void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
  virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
  virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
  virtual void canProcessReplacing(bool state) { setFlag(vst::effFlagsCanReplacing, state); }
  virtual void canDoubleReplacing(bool state) { setFlag(vst::effFlagsCanDoubleReplacing, state); }
  virtual void programsAreChunks(bool state) { setFlag(vst::effFlagsProgramChunks, state); }
  virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }
  virtual AEffEditor* getEditor() { return editor; }
  virtual vst::AEffect* getAeffect() { return &cEffect; }
  virtual float getSampleRate() { return sampleRate; }
  virtual int32_t getBlockSize() { return blockSize; }
  virtual int32_t getMasterVersion();
  virtual int32_t getCurrentUniqueId() { return 0; }
  virtual void masterIdle();
  virtual bool isInputConnected(int32_t input);
  virtual bool isOutputConnected(int32_t output);

  // Attaches (or with null detaches) the editor and mirrors it in the record's flags.
  void setEditor(AEffEditor* newEditor);

 protected:
  void setFlag(int32_t flag, bool state) {
    if (state) cEffect.flags |= flag;
    else cEffect.flags &= ~flag;
  }
  // Sends one callback opcode; 0 without a host.
  intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

  vst::HostCallback audioMaster;
  AEffEditor* editor = nullptr;
  float sampleRate = 44100.0f;
  int32_t blockSize = 1024;
  int32_t numPrograms;
  int32_t numParams;
  int32_t curProgram = 0;
  vst::AEffect cEffect{};
};

class AudioEffectX : public AudioEffect {
 public:
  using AudioEffect::AudioEffect;

  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

  virtual bool canParameterBeAutomated(int32_t /*index*/) { return true; }
  virtual bool string2parameter(int32_t /*index*/, char* /*text*/) { return false; }
  virtual bool getParameterProperties(int32_t /*index*/, vst::VstParameterProperties* /*p*/) { return false; }
  virtual bool beginEdit(int32_t index);
  virtual bool endEdit(int32_t index);
  virtual bool getProgramNameIndexed(int32_t /*category*/, int32_t /*index*/, char* /*text*/) { return false; }
  virtual int32_t updateBlockSize();
  virtual int32_t getOutputLatency();
  virtual bool getInputProperties(int32_t /*index*/, vst::VstPinProperties* /*p*/) { return false; }
  virtual bool getOutputProperties(int32_t /*index*/, vst::VstPinProperties* /*p*/) { return false; }
  virtual bool setSpeakerArrangement(vst::VstSpeakerArrangement* /*input*/, vst::VstSpeakerArrangement* /*output*/) {
    return false;
  }
  virtual bool setBypass(bool /*onOff*/) { return false; }
  virtual bool setProcessPrecision(int32_t /*precision*/) { return false; }
  virtual int32_t setTotalSampleToProcess(int32_t value) { return value; }
  virtual bool getEffectName(char* /*name*/) { return false; }
  virtual bool getVendorString(char* /*text*/) { return false; }
  virtual bool getProductString(char* /*text*/) { return false; }
  virtual int32_t getVendorVersion() { return 0; }
  virtual int32_t canDo(char* /*text*/) { return 0; }
  virtual int32_t getVstVersion() { return 2400; }
  virtual int32_t getGetTailSize() { return 0; }
  virtual int32_t getPlugCategory();
  virtual bool updateDisplay();
};

// Turns the key arguments of effEditKeyDown/Up into a key code: the character
// is the index, the virtual key and modifier are cut to their low 8 bits.
vst::VstKeyCode makeKeyCode(int32_t index, intptr_t value, float opt);

}  // namespace orv
