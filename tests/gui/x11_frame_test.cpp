// The X11 window under a virtual X server: a child of the host's window that
// gets real pointer and key events and goes away without X errors.
// gtest and our headers first: Xlib defines None, Bool and Status as macros.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <functional>
#include <thread>

#include "gui/x11/x11_frame.h"
#include "tests/gui/gui_test_support.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace orv {
namespace {

int testErrors = 0;
int countTestError(Display*, XErrorEvent*) {
  ++testErrors;
  return 0;
}

// The host's side: a connection and a top-level window to embed into.
class X11Test : public ::testing::Test {
 protected:
  // One connection for the whole suite: an X server may reset when its last
  // client goes, and would refuse the next test for a moment.
  static void SetUpTestSuite() { display = XOpenDisplay(nullptr); }
  static void TearDownTestSuite() {
    if (display) XCloseDisplay(display);
    display = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(display, nullptr) << "no X server: run under xvfb-run";
    XSetErrorHandler(countTestError);
    testErrors = 0;
    int dummy = 0;
    ASSERT_TRUE(XTestQueryExtension(display, &dummy, &dummy, &dummy, &dummy));
    // The host's window, at the root's origin so root and window coordinates agree.
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0, 0, 0);
    XSelectInput(display, parent, StructureNotifyMask);
    XMapWindow(display, parent);
    XEvent event;
    do XNextEvent(display, &event);
    while (event.type != MapNotify);
    errorsBefore = x11::errorCount();
  }
  void TearDown() override {
    if (parent) XDestroyWindow(display, parent);
    if (display) XSync(display, False);
  }

  std::vector<Window> childrenOfParent() const {
    Window root = 0, up = 0, *children = nullptr;
    unsigned int n = 0;
    XQueryTree(display, parent, &root, &up, &children, &n);
    std::vector<Window> result(children, children + n);
    if (children) XFree(children);
    return result;
  }
  // Calls `idle` until `done` or two seconds have passed.
  static bool idleUntil(const std::function<void()>& idle, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
      idle();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  void click(int x, int y, unsigned button = 1) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
  }
  void pressKey(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display, sym);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
  }

  static inline Display* display = nullptr;
  Window parent = 0;
  uint64_t errorsBefore = 0;
};

class X11FrameTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    if (HasFatalFailure()) return;
    frame = new CFrame(CRect(0, 0, 300, 200), reinterpret_cast<void*>(parent), &editor);
    ASSERT_TRUE(frame->isOpen());
    frame->setBackgroundColor(MakeCColor(10, 120, 200));
  }
  void TearDown() override {
    if (frame) frame->close();
    X11Test::TearDown();
  }
  Window child() const { return static_cast<Window>(frame->getPlatformFrame()->getNativeHandle()); }
  bool idleUntil(const std::function<bool()>& done) {
    return X11Test::idleUntil([this] { frame->idle(); }, done);
  }

  test::RecordingEditor editor;
  test::RecordingListener listener;
  CFrame* frame = nullptr;
};

TEST_F(X11FrameTest, OpensAsAChildOfTheHostWindowAndShowsTheDrawing) {
  const std::vector<Window> children = childrenOfParent();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], child());
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, child(), &attributes));
  EXPECT_EQ(attributes.width, 300);
  EXPECT_EQ(attributes.height, 200);
  EXPECT_EQ(attributes.map_state, IsViewable);

  frame->idle();
  XSync(display, False);
  XImage* image = XGetImage(display, child(), 5, 5, 1, 1, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(XGetPixel(image, 0, 0) & 0xffffff, 0x0a78c8u);
  XDestroyImage(image);
}

TEST_F(X11FrameTest, RealPointerAndKeyEventsReachTheControls) {
  auto* kick = new CKickButton(CRect(50, 50, 100, 100), &listener, 9, 50, nullptr);
  auto* knob = new CKnob(CRect(150, 50, 200, 100), &listener, 10, nullptr);
  knob->setValue(0.5f);
  auto* field = new CTextEdit(CRect(50, 150, 150, 170), &listener, 11, "x");
  frame->addView(kick);
  frame->addView(knob);
  frame->addView(field);
  frame->idle();

  click(75, 75);
  ASSERT_TRUE(idleUntil([&] { return listener.changes.size() >= 2; }));
  EXPECT_EQ(listener.changes[0].tag, 9);
  EXPECT_FLOAT_EQ(listener.changes[0].value, 1.0f);
  EXPECT_FLOAT_EQ(listener.changes[1].value, 0.0f);
  EXPECT_EQ(editor.begun, std::vector<int32_t>{9});
  EXPECT_EQ(editor.ended, std::vector<int32_t>{9});

  click(175, 75, 4);  // wheel up
  ASSERT_TRUE(idleUntil([&] { return knob->getValue() > 0.5f; }));
  EXPECT_FLOAT_EQ(knob->getValue(), 0.51f);
  EXPECT_EQ(frame->getCurrentMouseLocation(), CPoint(175, 75));

  click(100, 160);
  ASSERT_TRUE(idleUntil([&] { return field->isEditing(); }));
  XSync(display, False);
  pressKey(XK_a);
  pressKey(XK_Return);
  ASSERT_TRUE(idleUntil([&] { return !listener.texts.empty(); }));
  EXPECT_EQ(listener.texts.back(), "xa");
  // The edit is over: the keys go back to the host's window.
  Window focused = 0;
  int revert = 0;
  XGetInputFocus(display, &focused, &revert);
  EXPECT_EQ(focused, parent);
  EXPECT_EQ(testErrors, 0);
}

TEST_F(X11FrameTest, CloseLeavesNoWindowAndNoError) {
  frame->addView(new CKickButton(CRect(0, 0, 10, 10), &listener, 1, 10, nullptr));
  frame->idle();
  frame->close();
  frame = nullptr;
  XSync(display, False);
  EXPECT_TRUE(childrenOfParent().empty());
  EXPECT_EQ(testErrors, 0);
  EXPECT_EQ(x11::errorCount(), errorsBefore);
}

TEST_F(X11FrameTest, AWindowThatIsNoWindowFailsCleanly) {
  auto* orphan = new CFrame(CRect(0, 0, 50, 50), &editor);
  EXPECT_FALSE(orphan->open(reinterpret_cast<void*>(uintptr_t{0x7fffff0})));
  EXPECT_FALSE(orphan->open(nullptr));
  orphan->idle();
  orphan->close();
  EXPECT_EQ(testErrors, 0) << "the failed open's errors stay with our own handler";
}

// The host's view of a module with an editor: open it in the host's window,
// idle it, drag its knob with the real pointer, close it.
std::vector<std::pair<int32_t, int32_t>> moduleHostCalls;  // opcode, index

intptr_t moduleHost(vst::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float) {
  if (opcode == vst::audioMasterBeginEdit || opcode == vst::audioMasterEndEdit || opcode == vst::audioMasterAutomate)
    moduleHostCalls.emplace_back(opcode, index);
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

TEST_F(X11Test, AModuleOpensItsEditorInTheHostWindow) {
  void* module = dlopen(ORV_GUI_PROBE_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<vst::AEffect* (*)(vst::HostCallback)>(dlsym(module, "VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  vst::AEffect* effect = entry(moduleHost);
  ASSERT_NE(effect, nullptr);
  auto dispatch = [effect](int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
  };
  ASSERT_NE(effect->flags & vst::effFlagsHasEditor, 0);
  vst::ERect* rect = nullptr;
  ASSERT_EQ(dispatch(vst::effEditGetRect, 0, &rect), 1);
  EXPECT_EQ(rect->right, 200);
  dispatch(vst::effSetEditKnobMode, kLinearMode);
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, reinterpret_cast<void*>(parent)), 1);
  ASSERT_EQ(childrenOfParent().size(), 1u);
  dispatch(vst::effEditIdle);

  // Drag the knob (10..60) up by 50 pixels: linear, 200 px for the range.
  moduleHostCalls.clear();
  const int screen = DefaultScreen(display);
  XTestFakeMotionEvent(display, screen, 35, 55, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeMotionEvent(display, screen, 35, 30, CurrentTime);
  XTestFakeMotionEvent(display, screen, 35, 5, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  ASSERT_TRUE(idleUntil([&] { dispatch(vst::effEditIdle); },
                        [] { return !moduleHostCalls.empty() && moduleHostCalls.back().first == vst::audioMasterEndEdit; }));
  EXPECT_EQ(moduleHostCalls.front(), std::make_pair(int32_t{vst::audioMasterBeginEdit}, int32_t{0}));
  EXPECT_NEAR(effect->getParameter(effect, 0), 0.25f + 50.0f / 200.0f, 1e-6);

  dispatch(vst::effEditClose);
  XSync(display, False);
  EXPECT_TRUE(childrenOfParent().empty());
  // Opened and closed again, then the instance goes with its editor.
  ASSERT_EQ(dispatch(vst::effEditOpen, 0, reinterpret_cast<void*>(parent)), 1);
  dispatch(vst::effEditIdle);
  dispatch(vst::effClose);
  XSync(display, False);
  EXPECT_TRUE(childrenOfParent().empty()) << "closing the instance takes its window down";
  EXPECT_EQ(testErrors, 0);
  EXPECT_EQ(dlclose(module), 0);
}

}  // namespace
}  // namespace orv
