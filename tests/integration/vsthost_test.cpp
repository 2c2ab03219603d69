// The host harness against small fake modules: loading, entry fallback, the
// routing of callbacks to the right instance, answers, and closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/vsthost/vsthost.h"

namespace {

using orv::vsthost::HostCall;
using orv::vsthost::Library;
using orv::vsthost::Plugin;

std::unique_ptr<Library> load(const char* path) {
  std::string error;
  auto lib = Library::open(path, &error);
  EXPECT_TRUE(lib) << error;
  return lib;
}

std::unique_ptr<Plugin> make(const Library& lib, orv::vsthost::Answer answer = {}) {
  std::string error;
  auto plugin = Plugin::create(lib, std::move(answer), &error);
  EXPECT_TRUE(plugin) << error;
  return plugin;
}

// Asks the host through the fake's vendor-specific opcode: index is the host opcode.
intptr_t ask(Plugin& p, int32_t hostOpcode, intptr_t value = 0) {
  return p.dispatch(vst::effVendorSpecific, hostOpcode, value);
}

TEST(VstHostLibrary, ReportsFilesThatAreNotPlugins) {
  struct Case {
    const char* path;
    const char* expectedInError;
  } cases[] = {
      {"/nonexistent/none.so", "none.so"},
      {FAKE_NO_ENTRY_PATH, "no VSTPluginMain or main entry point"},
      {"", "empty"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(Library::open(c.path, &error), nullptr) << c.path;
    EXPECT_NE(error.find(c.expectedInError), std::string::npos) << c.path << ": " << error;
  }
}

TEST(VstHostLibrary, FindsTheEntryUnderEitherName) {
  auto vst = load(FAKE_VST_PATH);
  auto legacy = load(FAKE_MAIN_PATH);
  ASSERT_TRUE(vst && legacy);
  EXPECT_EQ(vst->entryName(), "VSTPluginMain");
  EXPECT_EQ(legacy->entryName(), "main");
  EXPECT_EQ(legacy->path(), FAKE_MAIN_PATH);
  auto plugin = make(*legacy);
  ASSERT_TRUE(plugin);
  EXPECT_EQ(plugin->getString(vst::effGetEffectName), "Fake Effect");
}

TEST(VstHostPlugin, RecordsTheCallsMadeDuringConstruction) {
  auto lib = load(FAKE_VST_PATH);
  ASSERT_TRUE(lib);
  std::vector<HostCall> reported;
  auto plugin = Plugin::create(*lib, {}, nullptr, &reported);
  ASSERT_TRUE(plugin);
  ASSERT_EQ(plugin->calls().size(), 2u);
  EXPECT_TRUE(plugin->calls()[0].nullEffect);
  EXPECT_EQ(plugin->calls()[0].opcode, vst::audioMasterVersion);
  // Made with its own record before the entry point returned it.
  EXPECT_FALSE(plugin->calls()[1].nullEffect);
  EXPECT_EQ(plugin->calls()[1].opcode, vst::audioMasterGetOutputLatency);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[1].opcode, vst::audioMasterGetOutputLatency);
}

TEST(VstHostPlugin, NullRecordStillReportsTheCalls) {
  struct Case {
    const char* path;
    intptr_t version;
  } cases[] = {{FAKE_NULL_PATH, 2400}, {FAKE_VST_PATH, 0}};  // a host answering version 0 gets nothing
  for (const auto& c : cases) {
    auto lib = load(c.path);
    ASSERT_TRUE(lib);
    std::string error;
    std::vector<HostCall> reported;
    const intptr_t version = c.version;
    auto answer = [version](int32_t op, int32_t, intptr_t, void*, float) -> intptr_t {
      return op == vst::audioMasterVersion ? version : 0;
    };
    EXPECT_EQ(Plugin::create(*lib, answer, &error, &reported), nullptr) << c.path;
    EXPECT_NE(error.find("no effect record"), std::string::npos) << error;
    ASSERT_EQ(reported.size(), 1u) << c.path;
    EXPECT_TRUE(reported[0].nullEffect);
    EXPECT_EQ(reported[0].opcode, vst::audioMasterVersion);
  }
}

TEST(VstHostPlugin, DefaultAnswers) {
  auto lib = load(FAKE_VST_PATH);
  ASSERT_TRUE(lib);
  auto plugin = make(*lib);
  ASSERT_TRUE(plugin);
  const struct {
    int32_t opcode;
    intptr_t expected;
  } cases[] = {{vst::audioMasterVersion, 2400},      {vst::audioMasterGetBlockSize, 0},
               {vst::audioMasterPinConnected, 0},    {vst::audioMasterGetOutputLatency, 0},
               {vst::audioMasterAutomate, 0},        {vst::audioMasterUpdateDisplay, 0}};
  for (const auto& c : cases) EXPECT_EQ(ask(*plugin, c.opcode), c.expected) << "opcode " << c.opcode;
}

TEST(VstHostPlugin, RoutesCallbacksAndAnswersPerInstance) {
  auto lib = load(FAKE_VST_PATH);
  ASSERT_TRUE(lib);
  auto answerWith = [](intptr_t n) {
    return [n](int32_t op, int32_t, intptr_t, void*, float) -> intptr_t {
      return op == vst::audioMasterVersion ? 2400 : n;
    };
  };
  auto a = make(*lib, answerWith(11));
  auto b = make(*lib, answerWith(22));
  ASSERT_TRUE(a && b);
  a->clearCalls();
  b->clearCalls();

  EXPECT_EQ(ask(*a, vst::audioMasterGetBlockSize, 5), 11);
  EXPECT_EQ(ask(*b, vst::audioMasterIdle), 22);
  ASSERT_EQ(a->calls().size(), 1u);
  EXPECT_FALSE(a->calls()[0].nullEffect);
  EXPECT_EQ(a->calls()[0].opcode, vst::audioMasterGetBlockSize);
  EXPECT_EQ(a->calls()[0].index, 7);
  EXPECT_EQ(a->calls()[0].value, 5);
  ASSERT_EQ(b->calls().size(), 1u);
  EXPECT_EQ(b->calls()[0].opcode, vst::audioMasterIdle);

  a->setAnswer({});
  EXPECT_EQ(ask(*a, vst::audioMasterGetBlockSize), 0);
  EXPECT_EQ(ask(*b, vst::audioMasterGetBlockSize), 22);
}

TEST(VstHostPlugin, DrivesParametersAndProcessing) {
  auto lib = load(FAKE_VST_PATH);
  ASSERT_TRUE(lib);
  auto plugin = make(*lib);
  ASSERT_TRUE(plugin);
  plugin->setParameter(0, 0.5f);
  EXPECT_EQ(plugin->getParameter(0), 0.5f);
  EXPECT_EQ(plugin->getParameter(1), 0.75f);
  plugin->clearCalls();

  float inL[3] = {1, 2, 4}, inR[3] = {-2, 0, 8}, outL[3] = {}, outR[3] = {};
  float* in[] = {inL, inR};
  float* out[] = {outL, outR};
  plugin->processReplacing(in, out, 3);
  EXPECT_EQ(outL[2], 2.0f);
  EXPECT_EQ(outR[0], -1.0f);

  double dIn[2][2] = {{1, 3}, {5, 7}}, dOut[2][2] = {};
  double* din[] = {dIn[0], dIn[1]};
  double* dout[] = {dOut[0], dOut[1]};
  plugin->processDoubleReplacing(din, dout, 2);
  EXPECT_EQ(dOut[1][1], 3.5);

  ASSERT_EQ(plugin->calls().size(), 2u);
  for (const HostCall& call : plugin->calls()) {
    EXPECT_EQ(call.opcode, vst::audioMasterPinConnected);
    EXPECT_EQ(call.index, 1);
    EXPECT_EQ(call.value, 1);
  }
}

TEST(VstHostPlugin, CloseEndsTheInstanceOnce) {
  auto lib = load(FAKE_VST_PATH);
  ASSERT_TRUE(lib);
  auto plugin = make(*lib);
  ASSERT_TRUE(plugin);
  EXPECT_EQ(plugin->close(), 1);
  EXPECT_EQ(plugin->effect(), nullptr);
  // Afterwards every call is a harmless no-op.
  EXPECT_EQ(plugin->close(), 0);
  EXPECT_EQ(plugin->dispatch(vst::effGetPlugCategory), 0);
  EXPECT_EQ(plugin->getString(vst::effGetEffectName), "");
  EXPECT_EQ(plugin->getParameter(0), 0.0f);
  plugin->setParameter(0, 1.0f);
  plugin->processReplacing(nullptr, nullptr, 16);
}

TEST(VstHostHelpers, FourCharCode) {
  EXPECT_EQ(orv::vsthost::fourCharCode(vst::fourCC('T', 'q', '8', 'w')), "Tq8w");
  EXPECT_EQ(orv::vsthost::fourCharCode(0x2d2d2d2d), "----");
  EXPECT_EQ(orv::vsthost::fourCharCode(0x41000142), "A..B");
}

}  // namespace
