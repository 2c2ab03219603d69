// The root of the view tree: owns the platform window, dispatches mouse,
// wheel and key events (a press is captured by the view that takes it until
// the button goes up), keeps the keyboard focus, and redraws only the dirty
// rectangles when it idles.
#pragma once

#include <memory>
#include <vector>

#include "gui/editor_interface.h"
#include "gui/platform_frame.h"
#include "gui/view.h"

namespace orv {

class CFrame : public CViewContainer {
 public:
  CFrame(const CRect& size, VSTGUIEditorInterface* editor);
  // Creates and opens on the host window `parent` at once.
  CFrame(const CRect& size, void* parent, VSTGUIEditorInterface* editor);

  // Opens the platform window on `parent`; false when that fails.
  bool open(void* parent);
  bool isOpen() const { return platform != nullptr; }
  // Takes the window down, releases every view and the frame itself.
  void close();

  VSTGUIEditorInterface* getEditor() const { return editor; }
  IPlatformFrame* getPlatformFrame() const { return platform.get(); }

  // Pumps pending input, fires due timers and redraws what is dirty.
  void idle();
  // Redraws the whole frame at the next idle.
  void invalid() override { invalidRect(getViewSize()); }
  // Adds a rectangle (frame coordinates) to the region redrawn at the next idle.
  void invalidFrameRect(const CRect& rect);
  // Number of views drawn by the frame since it was made (tests, benchmarks).
  uint64_t getDrawCount() const { return drawCount; }

  CPoint getCurrentMouseLocation() const { return mouseLocation; }
  CButtonState getCurrentMouseButtons() const { return mouseButtons; }

  bool setFocusView(CView* view);
  CView* getFocusView() const { return focusView; }
  // A view that takes every mouse and key event until it is released (pop-up menus).
  void setModalView(CView* view);
  CView* getModalView() const { return modalView; }

  int32_t onKeyDown(vst::VstKeyCode& key) override;
  int32_t onKeyUp(vst::VstKeyCode& key) override;
  bool removeView(CView* view, bool withForget = true) override;
  bool removeAll(bool withForget = true) override;
  bool isTypeOf(const char* name) const override;

  // Entry points of the backends (and of tests' synthetic events), in frame coordinates.
  CMouseEventResult platformOnMouseDown(const CPoint& where, const CButtonState& buttons);
  CMouseEventResult platformOnMouseUp(const CPoint& where, const CButtonState& buttons);
  CMouseEventResult platformOnMouseMoved(const CPoint& where, const CButtonState& buttons);
  void platformOnMouseExited(const CPoint& where);
  bool platformOnWheel(const CPoint& where, float distance, const CButtonState& buttons);
  bool platformOnKeyDown(vst::VstKeyCode key);
  bool platformOnKeyUp(vst::VstKeyCode key);
  void platformOnFocusLost();
  // Draws everything under `rect` (frame coordinates) into `context`.
  void platformDrawRect(CDrawContext* context, const CRect& rect);

  // Replaces the backend frames are opened with (tests use offscreen
  // frames); null restores the platform's own. Returns the previous factory.
  static PlatformFrameFactory setPlatformFactory(PlatformFrameFactory factory);

  // Called by views that go away, so the frame forgets them.
  void onViewRemoved(CView* view);

 protected:
  ~CFrame() override;

 private:
  void collectDirty();
  void updateMouseOver(const CPoint& where, const CButtonState& buttons);

  VSTGUIEditorInterface* editor;
  std::unique_ptr<IPlatformFrame> platform;
  std::vector<CRect> invalidRects;
  CPoint mouseLocation{-1, -1};
  CButtonState mouseButtons;
  CView* focusView = nullptr;
  CView* modalView = nullptr;
  CView* mouseOverView = nullptr;
  bool inIdle = false;
  uint64_t drawCount = 0;
  friend class CView;
  friend class CViewContainer;
};

}  // namespace orv
