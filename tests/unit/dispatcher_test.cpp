// What the record and dispatcher do that a host cannot observe on its own:
// editor wiring, key codes, callback defaults without a host.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/audio_effect.h"

namespace {

using orv::AEffEditor;
using orv::AudioEffectX;

struct EditorLog {
  std::vector<vst::VstKeyCode> keys;
  bool destroyed = false;
  void* openedWith = nullptr;
  int knobMode = -1;
};

class FakeEditor : public AEffEditor {
 public:
  FakeEditor(orv::AudioEffect* effect, EditorLog& log) : AEffEditor(effect), log(log) {}
  ~FakeEditor() override { log.destroyed = true; }
  bool open(void* window) override {
    AEffEditor::open(window);
    log.openedWith = window;
    return true;
  }
  bool onKeyDown(vst::VstKeyCode& key) override {
    log.keys.push_back(key);
    return true;
  }
  bool setKnobMode(int32_t mode) override {
    log.knobMode = mode;
    return true;
  }

 private:
  EditorLog& log;
};

struct KeyCase {
  int32_t index;
  intptr_t value;
  float opt;
  int32_t character;
  int virt;
  int modifier;
};

TEST(KeyCode, CutsVirtualKeyAndModifierToEightBits) {
  const KeyCase cases[] = {
      {65, 300, 2.9f, 65, 44, 2},
      {0, 0, 0.0f, 0, 0, 0},
      {-1, -1, -1.5f, -1, 255, 255},
      {97, 0x1FF, 257.0f, 97, 255, 1},
      {1, 2, NAN, 1, 2, 0},
      {1, 2, INFINITY, 1, 2, 0},
      {1, 2, 1e30f, 1, 2, 0},
  };
  for (const KeyCase& c : cases) {
    const vst::VstKeyCode key = orv::makeKeyCode(c.index, c.value, c.opt);
    EXPECT_EQ(key.character, c.character);
    EXPECT_EQ(key.virt, c.virt) << c.value;
    EXPECT_EQ(key.modifier, c.modifier) << c.opt;
  }
}

TEST(Dispatcher, EditorOpcodesReachAnAttachedEditorOnly) {
  auto* effect = new AudioEffectX(nullptr, 1, 1);
  vst::AEffect* record = effect->getAeffect();
  EXPECT_EQ(record->dispatcher(record, vst::effEditOpen, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(record->dispatcher(record, vst::effEditKeyDown, 65, 300, nullptr, 2.9f), 0);
  EXPECT_EQ(record->flags & vst::effFlagsHasEditor, 0);

  EditorLog log;
  effect->setEditor(new FakeEditor(effect, log));
  EXPECT_NE(record->flags & vst::effFlagsHasEditor, 0);

  int window = 0;
  EXPECT_EQ(record->dispatcher(record, vst::effEditOpen, 0, 0, &window, 0.0f), 1);
  EXPECT_EQ(log.openedWith, &window);
  EXPECT_TRUE(effect->getEditor()->isOpen());
  EXPECT_EQ(record->dispatcher(record, vst::effEditKeyDown, 65, 300, nullptr, 2.9f), 1);
  ASSERT_EQ(log.keys.size(), 1u);
  EXPECT_EQ(log.keys[0].virt, 44);
  // The base editor answers no to what it does not handle.
  EXPECT_EQ(record->dispatcher(record, vst::effEditKeyUp, 65, 0, nullptr, 0.0f), 0);
  vst::ERect* rect = reinterpret_cast<vst::ERect*>(&window);
  EXPECT_EQ(record->dispatcher(record, vst::effEditGetRect, 0, 0, &rect, 0.0f), 0);
  EXPECT_EQ(rect, nullptr);
  EXPECT_EQ(record->dispatcher(record, vst::effSetEditKnobMode, 0, 2, nullptr, 0.0f), 1);
  EXPECT_EQ(log.knobMode, 2);
  record->dispatcher(record, vst::effEditClose, 0, 0, nullptr, 0.0f);
  EXPECT_FALSE(effect->getEditor()->isOpen());

  // effClose destroys the instance and its editor.
  EXPECT_EQ(record->dispatcher(record, vst::effClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_TRUE(log.destroyed);
}

TEST(Dispatcher, WrappersFallBackToDefaultsWithoutAHost) {
  AudioEffectX effect(nullptr, 1, 1);
  EXPECT_TRUE(effect.isInputConnected(2));
  EXPECT_TRUE(effect.isOutputConnected(0));
  EXPECT_EQ(effect.updateBlockSize(), 1024);
  EXPECT_FALSE(effect.updateDisplay());
  EXPECT_EQ(effect.getMasterVersion(), 1);
  effect.setParameterAutomated(3, 0.5f);  // must not call anything
}

TEST(Dispatcher, SurvivesNullAndOversizedArguments) {
  AudioEffectX effect(nullptr, 1, 1);
  vst::AEffect* record = effect.getAeffect();
  for (int32_t opcode = 0; opcode < 100; ++opcode) {
    if (opcode == vst::effClose) continue;
    EXPECT_NO_FATAL_FAILURE(record->dispatcher(record, opcode, -1, 0, nullptr, NAN)) << opcode;
  }
  EXPECT_EQ(record->dispatcher(record, vst::effSetChunk, 0, intptr_t{1} << 40, &effect, 0.0f), 0);
  EXPECT_EQ(record->dispatcher(record, vst::effSetTotalSampleToProcess, 0, 12345, nullptr, 0.0f), 12345);
}

}  // namespace
