// The knob's drags, wheel and Ctrl-click, the two-state button, the page
// switch area and the value texts, driven through an offscreen frame as a
// user drives them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controls/controls.h"
#include "controls/value_text.h"
#include "gui/offscreen.h"
#include "tests/gui/gui_test_support.h"

namespace orv {
namespace {

using test::RecordingEditor;
using test::RecordingListener;

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new CFrame(CRect(0, 0, 300, 300), &editor);
    ASSERT_TRUE(offscreen::open(frame));
  }
  void TearDown() override { frame->close(); }

  // A knob at 100, 100 to 200, 200 (centre 150, 150), range 0 to 1.
  CAnimKnob2* addKnob(float value) {
    CBitmap* strip = test::makeStrip(100, 100, {0xff000000, 0xff808080, 0xffffffff});
    auto* knob = new CAnimKnob2(CRect(100, 100, 200, 200), &listener, 3, 3, 100, strip);
    strip->forget();
    knob->setValue(value);
    frame->addView(knob);
    frame->idle();  // drawn: its value is the one on screen
    return knob;
  }
  void down(CCoord x, CCoord y, int32_t buttons = kLButton) { frame->platformOnMouseDown({x, y}, buttons); }
  void move(CCoord x, CCoord y, int32_t buttons = kLButton) { frame->platformOnMouseMoved({x, y}, buttons); }
  void up(CCoord x, CCoord y) { frame->platformOnMouseUp({x, y}, 0); }

  RecordingEditor editor;
  RecordingListener listener;
  CFrame* frame = nullptr;
};

TEST_F(ControlsTest, LinearDragCoversTheRangeIn300PixelsOr1500WithShift) {
  struct Case {
    const char* what;
    int32_t hostMode;
    int32_t buttons;  // held through the drag
    float start;
    CCoord dx, dy;  // mouse travel; up is negative
    float expected;
  };
  const Case cases[] = {
      {"300 up: minimum to maximum", kLinearMode, kLButton, 0.0f, 0, -300, 1.0f},
      {"150 up: half the range", kLinearMode, kLButton, 0.0f, 0, -150, 0.5f},
      {"right counts half", kLinearMode, kLButton, 0.0f, 300, 0, 0.5f},
      {"down lowers", kLinearMode, kLButton, 0.8f, 0, 60, 0.6f},
      {"beyond the end stops there", kLinearMode, kLButton, 0.5f, 0, -400, 1.0f},
      {"Shift: 300 up is a fifth", kLinearMode, kLButton | kShift, 0.0f, 0, -300, 0.2f},
      {"Shift: 1500 up is the range", kLinearMode, kLButton | kShift, 0.0f, 0, -1500, 1.0f},
      {"Alt makes a circular host's drag linear", kCircularMode, kLButton | kAlt, 0.0f, 0, -150, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    editor.knobMode = c.hostMode;
    CAnimKnob2* knob = addKnob(c.start);
    down(150, 150, c.buttons);
    EXPECT_TRUE(knob->isLinearDrag());
    EXPECT_FLOAT_EQ(knob->getValue(), c.start) << "pressing alone changes nothing";
    move(150 + c.dx, 150 + c.dy, c.buttons);
    EXPECT_NEAR(knob->getValue(), c.expected, 1e-5f);
    up(150 + c.dx, 150 + c.dy);
    EXPECT_FALSE(knob->isEditing());
    frame->removeView(knob);
  }
}

TEST_F(ControlsTest, ShiftPressedMidDragKeepsTheValueAndSlowsTheRest) {
  editor.knobMode = kLinearMode;
  CAnimKnob2* knob = addKnob(0.0f);
  down(150, 190);
  move(150, 40);  // 150 up
  EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5f);
  move(150, 40, kLButton | kShift);
  EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5f) << "no jump when Shift goes down";
  move(150, -110, kLButton | kShift);  // 150 more at a fifth of the speed
  EXPECT_NEAR(knob->getValue(), 0.6f, 1e-5f);
  move(150, -110);
  EXPECT_NEAR(knob->getValue(), 0.6f, 1e-5f) << "no jump when Shift comes up";
  move(150, -140);
  EXPECT_NEAR(knob->getValue(), 0.7f, 1e-5f);
  up(150, -140);
  ASSERT_FALSE(listener.changes.empty());
  EXPECT_NEAR(listener.changes.back().value, 0.7f, 1e-5f);
  EXPECT_EQ(listener.begins, 1);
  EXPECT_EQ(listener.ends, 1);
}

TEST_F(ControlsTest, CircularDragStopsAtTheEndsInsteadOfWrapping) {
  editor.knobMode = kCircularMode;
  CAnimKnob2* knob = addKnob(0.5f);
  // Straight up is the middle of the travel; the lower right is its end.
  down(150, 110);
  EXPECT_FALSE(knob->isLinearDrag());
  EXPECT_NEAR(knob->getValue(), 0.5f, 1e-4f);
  move(185, 185);
  EXPECT_NEAR(knob->getValue(), 1.0f, 1e-4f);
  move(115, 185);  // across the gap to the minimum's side
  EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
  move(110, 150);  // still far from where the drag left off
  EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
  move(185, 150);  // back within reach: follows again
  EXPECT_NEAR(knob->getValue(), 5.0f / 6.0f, 1e-4f);
  move(150, 110);
  move(110, 150);
  EXPECT_NEAR(knob->getValue(), 1.0f / 6.0f, 1e-4f);
  move(115, 185);
  EXPECT_NEAR(knob->getValue(), 0.0f, 1e-4f);
  move(185, 185);  // and from the minimum's side it stops at the minimum
  EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
  up(185, 185);
}

TEST_F(ControlsTest, WheelStepsAHundredthOrAThousandthWithShift) {
  CAnimKnob2* knob = addKnob(0.5f);
  EXPECT_TRUE(frame->platformOnWheel({150, 150}, 1.0f, 0));
  EXPECT_NEAR(knob->getValue(), 0.51f, 1e-6f);
  EXPECT_TRUE(frame->platformOnWheel({150, 150}, -2.0f, kShift));
  EXPECT_NEAR(knob->getValue(), 0.508f, 1e-6f);
  ASSERT_EQ(listener.changes.size(), 2u);
  EXPECT_EQ(listener.begins, 2);

  knob->setValue(1.0f);
  frame->idle();
  listener.changes.clear();
  EXPECT_TRUE(frame->platformOnWheel({150, 150}, 1.0f, 0)) << "consumed even at the end";
  EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
  EXPECT_TRUE(listener.changes.empty()) << "nothing changed, nobody told";
}

TEST_F(ControlsTest, CtrlClickRestoresTheDefaultWithoutADrag) {
  editor.knobMode = kLinearMode;
  CAnimKnob2* knob = addKnob(0.8f);
  knob->setDefaultValue(0.25f);
  down(150, 150, kLButton | kControl);
  EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
  ASSERT_EQ(listener.changes.size(), 1u);
  EXPECT_EQ(listener.begins, 1);
  EXPECT_EQ(listener.ends, 1);
  move(150, 0);
  up(150, 0);
  EXPECT_FLOAT_EQ(knob->getValue(), 0.25f) << "the mouse moving on changes nothing";

  // Without a listener the knob takes no presses at all.
  knob->setListener(nullptr);
  down(150, 150, kLButton);
  EXPECT_FALSE(knob->isEditing());
  EXPECT_EQ(frame->getMouseDownView(), nullptr);
}

TEST_F(ControlsTest, OnOffButtonFlipsByRoundingAndDrawsItsHalf) {
  const uint32_t kOff = 0xff202020, kOn = 0xffe0e0e0;
  struct Case {
    float before, after;
  };
  for (const Case& c : {Case{0.3f, 1.0f}, Case{0.7f, 0.0f}, Case{0.0f, 1.0f}, Case{1.0f, 0.0f}}) {
    SCOPED_TRACE(c.before);
    listener.changes.clear();
    CBitmap* halves = test::makeStrip(20, 10, {kOff, kOn});
    auto* button = new COrvOnOffButton(CRect(10, 10, 30, 20), &listener, 7, halves, 0);
    halves->forget();
    button->setValue(c.before);
    frame->addView(button);
    frame->idle();
    EXPECT_EQ(offscreen::pixel(frame, 15, 15), c.before >= 0.5f ? kOn : kOff);
    down(15, 15);
    up(15, 15);
    EXPECT_FLOAT_EQ(button->getValue(), c.after);
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_FLOAT_EQ(listener.changes[0].value, c.after);
    frame->removeView(button);
  }
}

TEST_F(ControlsTest, SwitchAreaTogglesAndDrawsNothing) {
  frame->setBackgroundColor(MakeCColor(10, 20, 30));
  auto* area = new CViewContainerSwitch(CRect(0, 0, 50, 50), &listener, 56);
  frame->addView(area);
  frame->idle();
  EXPECT_EQ(offscreen::color(frame, 25, 25), MakeCColor(10, 20, 30));
  for (float expected : {1.0f, 0.0f, 1.0f}) {
    down(25, 25);
    up(25, 25);
    EXPECT_FLOAT_EQ(area->getValue(), expected);
  }
  EXPECT_EQ(listener.changes.size(), 3u);
  down(25, 25, kRButton);
  EXPECT_EQ(listener.changes.size(), 3u) << "only the left button";
}

TEST_F(ControlsTest, LabelAndCopiesKeepWhatTheyWereGiven) {
  auto* label = new CLabel2(CRect(0, 0, 100, 12), "Version 1.7");
  EXPECT_STREQ(label->getText(), "Version 1.7");
  EXPECT_TRUE(label->isTypeOf("CLabel2"));
  EXPECT_TRUE(label->isTypeOf("CParamDisplay"));
  frame->setBackgroundColor(kWhiteCColor);
  frame->addView(label);
  frame->idle();
  int dark = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 60; ++x) dark += offscreen::color(frame, x, y).red < 128;
  EXPECT_GT(dark, 10) << "black text on what lies behind";
  EXPECT_EQ(offscreen::color(frame, 98, 6), kWhiteCColor) << "no background of its own";

  CAnimKnob2* knob = addKnob(0.4f);
  knob->setDefaultValue(0.1f);
  CView* copy = knob->newCopy();
  ASSERT_TRUE(copy->isTypeOf("CAnimKnob2"));
  EXPECT_FLOAT_EQ(static_cast<CAnimKnob2*>(copy)->getValue(), 0.4f);
  EXPECT_FLOAT_EQ(static_cast<CAnimKnob2*>(copy)->getDefaultValue(), 0.1f);
  copy->forget();
}

TEST(ValueText, DisplaysWriteWhatTheUserReads) {
  using Convert = void (*)(float, char*);
  struct Case {
    Convert convert;
    float value;
    const char* text;
  };
  const Case cases[] = {
      {convertDbfs, 1.0f, "0.0dBFS"},
      {convertDbfs, 0.5f, "-6.0dBFS"},
      {convertDbfs, 0.9f, "-0.9dBFS"},
      {convertDbfs, 0.999f, "-0.0dBFS"},
      {convertDbfs, 2.0f, "6.0dBFS"},
      {convertDbfs, 0.3f, "-10.4dBFS"},
      {convertDbfs, 0.0f, "-oo dBFS"},
      {convertDbfs, 0.00000001f, "-oo dBFS"},
      {convertInteger, 12.9f, "12"},
      {convertInteger, -3.7f, "-3"},
      {convertSamples, 0.99f, "0smps"},
      {convertSamples, 64.7f, "64smps"},
      {convertSamples, 1660.0f, "1660smps"},
      {convertMilliseconds, 0.05f, "0.050ms"},
      {convertMilliseconds, 2.5f, "2.50ms"},
      {convertMilliseconds, 37.64f, "37.6ms"},
      {convertMilliseconds, 150.0f, "150ms"},
      {convertMilliseconds, 999.9f, "999ms"},
      {convertMilliseconds, 1500.0f, "1.500s"},
      {convertMilliseconds, 0.00009f, "0ms"},
  };
  for (const Case& c : cases) {
    char text[256];
    std::memset(text, 'x', sizeof text);
    c.convert(c.value, text);
    EXPECT_STREQ(text, c.text) << c.value;
  }
}

}  // namespace
}  // namespace orv
