// AEffGUIEditor driven through the effect's dispatcher, as a host drives it.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "gui/offscreen.h"
#include "tests/gui/gui_test_support.h"

namespace orv {
namespace {

std::vector<std::pair<int32_t, int32_t>> hostCalls;  // opcode, index

intptr_t recordingHost(vst::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float) {
  if (opcode == vst::audioMasterBeginEdit || opcode == vst::audioMasterEndEdit) hostCalls.emplace_back(opcode, index);
  return opcode == vst::audioMasterVersion ? 2400 : 1;
}

// A small product editor: a knob for parameter 2, a knob for editor-only tag
// 40 and a text field, built the way the products build theirs.
class TestEditor : public AEffGUIEditor {
 public:
  explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
    rect.right = 300;
    rect.bottom = 200;
  }
  bool open(void* window) override {
    AEffGUIEditor::open(window);
    frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), window, this);
    if (!frame->isOpen()) return false;
    knob = new CKnob(CRect(10, 10, 50, 50), &listener, 2, nullptr);
    settingsKnob = new CKnob(CRect(60, 10, 100, 50), &listener, 40, nullptr);
    field = new CTextEdit(CRect(10, 100, 110, 120), &listener, 41, "1.0");
    frame->addView(knob);
    frame->addView(settingsKnob);
    frame->addView(field);
    return true;
  }
  void close() override {
    AEffGUIEditor::close();
    knob = settingsKnob = nullptr;
    field = nullptr;
    if (frame) frame->close();
    frame = nullptr;
  }
  test::RecordingListener listener;
  CKnob* knob = nullptr;
  CKnob* settingsKnob = nullptr;
  CTextEdit* field = nullptr;
};

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hostCalls.clear();
    effect = new AudioEffectX(recordingHost, 1, 34);
    editor = new TestEditor(effect);
  }
  void TearDown() override { delete effect; }  // deletes the editor
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0) {
    return effect->dispatcher(opcode, index, value, ptr, opt);
  }

  offscreen::ScopedOffscreenFrames offscreenFrames;
  AudioEffectX* effect = nullptr;
  TestEditor* editor = nullptr;
};

TEST_F(EditorTest, AnswersTheEditorOpcodes) {
  EXPECT_EQ(effect->getEditor(), editor);
  EXPECT_NE(effect->getAeffect()->flags & vst::effFlagsHasEditor, 0);
  vst::ERect* r = nullptr;
  ASSERT_EQ(dispatch(vst::effEditGetRect, 0, 0, &r), 1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->right, 300);
  EXPECT_EQ(r->bottom, 200);

  int window = 0;
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, 0, &window), 1);
  ASSERT_NE(editor->getFrame(), nullptr);
  dispatch(vst::effEditIdle);
  EXPECT_GT(editor->getFrame()->getDrawCount(), 0u);
  dispatch(vst::effEditClose);
  EXPECT_EQ(editor->getFrame(), nullptr);
  dispatch(vst::effEditIdle);  // closed: nothing to do
  // Opened again after a close.
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, 0, &window), 1);
  dispatch(vst::effEditIdle);
}

TEST_F(EditorTest, EditsOfParametersReachTheHost) {
  int window = 0;
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, 0, &window), 1);
  EXPECT_EQ(dispatch(vst::effSetEditKnobMode, 0, kLinearMode), 1);
  EXPECT_EQ(editor->getKnobMode(), kLinearMode);
  CFrame* frame = editor->getFrame();
  editor->knob->setValue(0.0f);
  frame->platformOnMouseDown({30, 30}, kLButton);
  frame->platformOnMouseMoved({30, 10}, kLButton);
  frame->platformOnMouseUp({30, 10}, 0);
  EXPECT_FLOAT_EQ(editor->knob->getValue(), 0.1f) << "linear: 20 of 200 px";
  // The editor-only knob changes but the host hears nothing of tag 40.
  frame->platformOnMouseDown({80, 30}, kLButton);
  frame->platformOnMouseUp({80, 30}, 0);
  const std::vector<std::pair<int32_t, int32_t>> expected{{vst::audioMasterBeginEdit, 2},
                                                          {vst::audioMasterEndEdit, 2}};
  EXPECT_EQ(hostCalls, expected);
  EXPECT_EQ(editor->listener.changes.front().tag, 2);
  dispatch(vst::effEditClose);
}

TEST_F(EditorTest, KeysFromTheHostReachTheFocusedField) {
  int window = 0;
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, 0, &window), 1);
  CFrame* frame = editor->getFrame();
  EXPECT_EQ(dispatch(vst::effEditKeyDown, '5'), 0) << "no field focused: the host keeps the key";
  frame->platformOnMouseDown({50, 110}, kLButton);
  frame->platformOnMouseUp({50, 110}, 0);
  EXPECT_EQ(dispatch(vst::effEditKeyDown, '5'), 1);
  EXPECT_EQ(dispatch(vst::effEditKeyDown, 0, VKEY_RETURN), 1);
  EXPECT_STREQ(editor->field->getText(), "1.05");
  ASSERT_EQ(editor->listener.texts.size(), 1u);
  // The wheel from the host goes to the view under the mouse.
  frame->platformOnMouseMoved({30, 30}, 0);
  editor->knob->setValue(0.5f);
  EXPECT_TRUE(editor->onWheel(1.0f));
  EXPECT_FLOAT_EQ(editor->knob->getValue(), 0.51f);
  dispatch(vst::effEditClose);
}

TEST_F(EditorTest, AFrameLeftOpenIsClosedWithTheEditor) {
  int window = 0;
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, 0, &window), 1);
  // No effEditClose: deleting the effect deletes the editor, which closes the frame (ASan checks).
}

}  // namespace
}  // namespace orv
