// Entry point, effect record and the dispatcher's fixed answers, seen from
// the host's side of the record.
#include <algorithm>
#include <set>

#include "valdris_support.h"

namespace valdris_test {
namespace {

using EntryTest = ValdrisTest;
using DispatcherTest = ValdrisTest;

TEST_F(EntryTest, HostWithoutVersionGetsNoRecordAfterOneNullRecordQuery) {
  std::vector<HostCall> calls;
  std::string error;
  const Answer noVersion = [](int32_t, int32_t, intptr_t, void*, float) -> intptr_t { return 0; };
  EXPECT_EQ(Plugin::create(*library(), noVersion, &error, &calls), nullptr);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].nullEffect);
  EXPECT_EQ(calls[0].opcode, vst::audioMasterVersion);
  EXPECT_EQ(calls[0].index, 0);
  EXPECT_EQ(calls[0].value, 0);
}

TEST_F(EntryTest, OnlyTheVersionQueriesPassANullRecordAndOnlyKnownHostOpcodesAreSent) {
  std::vector<HostCall> calls;
  auto plugin = load({}, &calls);
  ASSERT_NE(plugin, nullptr);
  plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  plugin->dispatch(vst::effMainsChanged, 0, 1);
  float in[4][8] = {};
  float out[2][8] = {};
  float* ins[4] = {in[0], in[1], in[2], in[3]};
  float* outs[2] = {out[0], out[1]};
  plugin->processReplacing(ins, outs, 8);
  plugin->dispatch(vst::effMainsChanged, 0, 0);
  // The instance's own list holds the calls made during construction too.
  ASSERT_GE(plugin->calls().size(), calls.size());
  calls = plugin->calls();

  ASSERT_GE(calls.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(calls[i].nullEffect) << i;
    EXPECT_EQ(calls[i].opcode, vst::audioMasterVersion) << i;
  }
  const std::set<int32_t> allowed = {vst::audioMasterAutomate,       vst::audioMasterVersion,
                                     vst::audioMasterIdle,           vst::audioMasterPinConnected,
                                     vst::audioMasterGetBlockSize,   vst::audioMasterGetOutputLatency,
                                     vst::audioMasterUpdateDisplay,  vst::audioMasterBeginEdit,
                                     vst::audioMasterEndEdit};
  for (size_t i = 2; i < calls.size(); ++i) {
    EXPECT_FALSE(calls[i].nullEffect) << "call " << i << " opcode " << calls[i].opcode;
    EXPECT_EQ(allowed.count(calls[i].opcode), 1u) << "call " << i << " opcode " << calls[i].opcode;
  }
}

TEST_F(EntryTest, RecordAnnouncesTheMasteringCompressor) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const vst::AEffect& e = *plugin->effect();
  EXPECT_EQ(e.magic, vst::kEffectMagic);
  EXPECT_EQ(e.numInputs, 4);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.uniqueID, kUniqueId);
  EXPECT_EQ(e.initialDelay, 1660);
  // Editor bit still clear: there is no editor window in this build.
  EXPECT_EQ(e.flags, vst::effFlagsCanReplacing | vst::effFlagsProgramChunks | vst::effFlagsCanDoubleReplacing);
  EXPECT_EQ(e.flags, 0x1030);
  EXPECT_EQ(e.numPrograms, 1);
  EXPECT_EQ(e.numParams, kNumParams);
  EXPECT_EQ(e.version, 1);
  EXPECT_EQ(e.ioRatio, 1.0f);
  EXPECT_EQ(e.resvd1, 0);
  EXPECT_EQ(e.resvd2, 0);
  EXPECT_EQ(e.realQualities, 0);
  EXPECT_EQ(e.offQualities, 0);
  EXPECT_EQ(e.user, nullptr);
  EXPECT_NE(e.object, nullptr);
  EXPECT_NE(e.dispatcher, nullptr);
  EXPECT_NE(e.process, nullptr);
  EXPECT_NE(e.setParameter, nullptr);
  EXPECT_NE(e.getParameter, nullptr);
  EXPECT_NE(e.processReplacing, nullptr);
  EXPECT_NE(e.processDoubleReplacing, nullptr);
  EXPECT_TRUE(std::all_of(std::begin(e.future), std::end(e.future), [](char c) { return c == 0; }));
}

TEST_F(EntryTest, CloseAnswersOne) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->close(), 1);
}

TEST_F(DispatcherTest, FixedAnswers) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  char scratch[512] = {};
  struct Case {
    const char* what;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    intptr_t expected;
  };
  const Case cases[] = {
      {"identify", vst::effIdentify, 0, 0, vst::fourCC('N', 'v', 'E', 'f')},
      {"vst version", vst::effGetVstVersion, 0, 0, 2400},
      {"tail size", vst::effGetTailSize, 0, 0, 0},
      {"category: mastering", vst::effGetPlugCategory, 0, 0, vst::kPlugCategMastering},
      {"vendor version", vst::effGetVendorVersion, 0, 0, 1710},
      {"automatable 0", vst::effCanBeAutomated, 0, 0, 1},
      {"automatable 33", vst::effCanBeAutomated, 33, 0, 1},
      {"automatable 1000", vst::effCanBeAutomated, 1000, 0, 1},
      {"automatable -1", vst::effCanBeAutomated, -1, 0, 1},
      {"total samples echoed", vst::effSetTotalSampleToProcess, 0, 12345, 12345},
      {"total samples echoed, negative", vst::effSetTotalSampleToProcess, 0, -7, -7},
      {"precision 32", vst::effSetProcessPrecision, 0, vst::kVstProcessPrecision32, 1},
      {"precision 64", vst::effSetProcessPrecision, 0, vst::kVstProcessPrecision64, 1},
      {"precision unknown", vst::effSetProcessPrecision, 0, 7, 1},
      {"open", vst::effOpen, 0, 0, 0},
      {"bypass", vst::effSetBypass, 0, 1, 0},
      {"vendor specific", vst::effVendorSpecific, 0, 0, 0},
      {"current midi program", vst::effGetCurrentMidiProgram, 0, 0, -1},
      {"midi program name", vst::effGetMidiProgramName, 0, 0, 0},
      {"midi program category", vst::effGetMidiProgramCategory, 0, 0, 0},
      {"midi programs changed", vst::effHasMidiProgramsChanged, 0, 0, 0},
      {"midi key name", vst::effGetMidiKeyName, 0, 0, 0},
      {"begin set program", vst::effBeginSetProgram, 0, 0, 0},
      {"end set program", vst::effEndSetProgram, 0, 0, 0},
      {"shell next plugin", vst::effShellGetNextPlugin, 0, 0, 0},
      {"start process", vst::effStartProcess, 0, 0, 0},
      {"stop process", vst::effStopProcess, 0, 0, 0},
      {"pan law", vst::effSetPanLaw, 0, 0, 0},
      {"midi inputs", vst::effGetNumMidiInputChannels, 0, 0, 0},
      {"midi outputs", vst::effGetNumMidiOutputChannels, 0, 0, 0},
      {"offline notify", vst::effOfflineNotify, 0, 0, 0},
      {"offline prepare", vst::effOfflinePrepare, 0, 0, 0},
      {"offline run", vst::effOfflineRun, 0, 0, 0},
      {"variable io", vst::effProcessVarIo, 0, 0, 0},
      {"editor rect", vst::effEditGetRect, 0, 0, 0},
      {"editor open", vst::effEditOpen, 0, 0, 0},
      {"editor close", vst::effEditClose, 0, 0, 0},
      {"editor idle", vst::effEditIdle, 0, 0, 0},
      {"editor key down", vst::effEditKeyDown, 65, 300, 0},
      {"editor key up", vst::effEditKeyUp, 65, 300, 0},
      {"knob mode, kept for the editor window", vst::effSetEditKnobMode, 0, 2, 1},
      {"unknown 9", 9, 0, 0, 0},
      {"unknown 30", 30, 0, 0, 0},
      {"unknown 80", 80, 0, 0, 0},
      {"unknown 1000", 1000, 0, 0, 0},
      {"unknown -5", -5, 0, 0, 0},
  };
  vst::ERect* rect = nullptr;
  for (const Case& c : cases) {
    std::memset(scratch, 0, sizeof scratch);
    // For effEditGetRect the host hands the address of its rectangle pointer.
    void* ptr = c.opcode == vst::effEditGetRect ? static_cast<void*>(&rect) : scratch;
    EXPECT_EQ(plugin->dispatch(c.opcode, c.index, c.value, ptr, c.opcode == vst::effEditKeyDown ? 2.9f : 0.0f),
              c.expected)
        << c.what;
  }
}

TEST_F(DispatcherTest, CanDoAnswersZeroForEveryString) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  for (const char* what : {"bypass", "receiveVstTimeInfo", "receiveVstEvents", "offline", "midiProgramNames",
                           "sendVstEvents", "", "no such capability"}) {
    std::string text = what;
    EXPECT_EQ(plugin->dispatch(vst::effCanDo, 0, 0, text.data()), 0) << what;
  }
}

TEST_F(DispatcherTest, NamesAndVendor) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->getString(vst::effGetEffectName), "Orv Valdris");
  EXPECT_EQ(plugin->getString(vst::effGetProductString), "Orv Valdris - stereo mastering compressor");
  const std::string vendor = plugin->getString(vst::effGetVendorString);
  EXPECT_FALSE(vendor.empty());
  EXPECT_LT(vendor.size(), 64u);
  char text[256] = {};
  EXPECT_EQ(plugin->dispatch(vst::effGetEffectName, 0, 0, text), 1);
  EXPECT_EQ(plugin->dispatch(vst::effGetProductString, 0, 0, text), 1);
  EXPECT_EQ(plugin->dispatch(vst::effGetVendorString, 0, 0, text), 1);
}

TEST_F(DispatcherTest, SetProgramChangesNothing) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const Chunk before = getChunk(*plugin);
  ASSERT_EQ(before.size(), kChunkSize);
  for (intptr_t program : {3, 0, 1, 15, -1}) {
    EXPECT_EQ(plugin->dispatch(vst::effSetProgram, 0, program), 0) << program;
    EXPECT_EQ(plugin->dispatch(vst::effGetProgram), 0) << program;
    EXPECT_EQ(plugin->getString(vst::effGetProgramName), "Default") << program;
    EXPECT_EQ(getChunk(*plugin), before) << program;
  }
}

TEST_F(DispatcherTest, GetSpeakerArrangementNullsBothPointers) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  vst::VstSpeakerArrangement dummy{};
  vst::VstSpeakerArrangement* input = &dummy;
  vst::VstSpeakerArrangement* output = &dummy;
  EXPECT_EQ(plugin->dispatch(vst::effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output), 0);
  EXPECT_EQ(input, nullptr);
  EXPECT_EQ(output, nullptr);
}

}  // namespace
}  // namespace valdris_test
