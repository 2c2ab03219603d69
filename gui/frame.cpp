#include "gui/frame.h"

#include <cstring>

#include "gui/file_selector.h"
#include "gui/timer.h"
#include "platform/clock.h"

namespace orv {

std::unique_ptr<CNewFileSelector> createPlatformFileSelector(CFrame* parent, CNewFileSelector::Style style);

namespace {

PlatformFrameFactory& platformFactory() {
  static PlatformFrameFactory factory = nullptr;
  return factory;
}

// More separate rectangles than this are drawn as their union.
constexpr size_t kMaxInvalidRects = 16;

bool isInside(const CView* view, const CView* ancestor) {
  for (const CView* v = view; v; v = v->getParentView())
    if (v == ancestor) return true;
  return false;
}

// `where` (frame coordinates) in the coordinates `view` gets its events in.
CPoint toViewCoordinates(const CView* view, const CPoint& where) {
  const CPoint origin = view->localToFrame(CPoint{0, 0});
  return where - origin;
}

}  // namespace

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor) : CViewContainer(size), editor(editor) {
  this->size.moveTo(0, 0);
  mouseableArea = this->size;
}

CFrame::CFrame(const CRect& size, void* parent, VSTGUIEditorInterface* editor) : CFrame(size, editor) {
  open(parent);
}

CFrame::~CFrame() {
  focusView = nullptr;
  // Children go while this is still a frame, so they can find it.
  CViewContainer::removeAll(true);
}

PlatformFrameFactory CFrame::setPlatformFactory(PlatformFrameFactory factory) {
  PlatformFrameFactory previous = platformFactory();
  platformFactory() = factory;
  return previous;
}

bool CFrame::open(void* parent) {
  if (platform) return true;
  // The desktop's file dialog, unless a test installed its own.
  if (CNewFileSelector::Factory current = CNewFileSelector::setFactory(nullptr))
    CNewFileSelector::setFactory(current);
  else
    CNewFileSelector::setFactory(&createPlatformFileSelector);
  PlatformFrameFactory factory = platformFactory();
  platform = factory ? factory(this, parent) : createDefaultPlatformFrame(this, parent);
  if (!platform) return false;
  invalid();
  return true;
}

void CFrame::close() {
  // An unfinished text edit is dropped, not committed: the editor is on its
  // way out and must not hear of changes now.
  modalView = nullptr;
  focusView = nullptr;
  mouseOverView = nullptr;
  removeAll(true);
  platform.reset();
  forget();
}

void CFrame::idle() {
  if (inIdle) return;
  inIdle = true;
  remember();  // a handler may close the frame
  if (platform) platform->pumpEvents();
  CVSTGUITimer::fireDue(platform::tickCountMs());
  if (platform) {
    collectDirty();
    if (!invalidRects.empty()) {
      std::vector<CRect> rects;
      rects.swap(invalidRects);
      platform->drawRects(rects);
    }
  }
  inIdle = false;
  forget();
}

void CFrame::invalidFrameRect(const CRect& rect) {
  CRect r = rect;
  r.bound(size);
  if (r.isEmpty()) return;
  // Overlapping rectangles merge, so no pixel is drawn twice.
  for (bool merged = true; merged;) {
    merged = false;
    for (auto it = invalidRects.begin(); it != invalidRects.end(); ++it) {
      if (it->rectOverlap(r)) {
        r.unite(*it);
        invalidRects.erase(it);
        merged = true;
        break;
      }
    }
  }
  invalidRects.push_back(r);
  if (invalidRects.size() > kMaxInvalidRects) {
    CRect all;
    for (const CRect& each : invalidRects) all.unite(each);
    invalidRects.assign(1, all);
  }
}

void CFrame::collectDirty() {
  if (CView::isDirty()) {
    CView::setDirty(false);
    invalidFrameRect(size);
  }
  // Only views that can be seen: hidden containers hide their children.
  auto visit = [this](auto& self, const CViewContainer* container) -> void {
    for (int32_t i = 0; i < container->getNbViews(); ++i) {
      CView* v = container->getView(i);
      if (!v->isVisible()) continue;
      if (v->isDirty()) {
        invalidFrameRect(v->getFrameRect());
        v->setDirty(false);
      }
      if (auto* c = dynamic_cast<CViewContainer*>(v)) self(self, c);
    }
  };
  visit(visit, this);
}

void CFrame::platformDrawRect(CDrawContext* context, const CRect& rect) {
  context->setOffset(CPoint{0, 0});
  CViewContainer::drawRect(context, rect);
}

bool CFrame::setFocusView(CView* view) {
  if (view == focusView) return true;
  CView* old = focusView;
  focusView = view;
  if (old) old->looseFocus();
  if (view && focusView == view) {
    view->takeFocus();
    if (platform) platform->takeKeyboardFocus();
  } else if (!focusView && platform) {
    platform->releaseKeyboardFocus();
  }
  return true;
}

void CFrame::setModalView(CView* view) {
  modalView = view;
  clearMouseDownView(nullptr);
}

void CFrame::onViewRemoved(CView* view) {
  if (modalView && isInside(modalView, view)) modalView = nullptr;
  if (mouseOverView && isInside(mouseOverView, view)) mouseOverView = nullptr;
  if (focusView && isInside(focusView, view)) setFocusView(nullptr);
  clearMouseDownView(view);
}

bool CFrame::removeView(CView* view, bool withForget) { return CViewContainer::removeView(view, withForget); }

bool CFrame::removeAll(bool withForget) { return CViewContainer::removeAll(withForget); }

bool CFrame::isTypeOf(const char* name) const {
  return std::strcmp(name, "CFrame") == 0 || CViewContainer::isTypeOf(name);
}

CMouseEventResult CFrame::platformOnMouseDown(const CPoint& where, const CButtonState& buttons) {
  mouseLocation = where;
  mouseButtons = buttons;
  remember();
  CMouseEventResult result = kMouseEventNotHandled;
  if (modalView) {
    CView* modal = modalView;
    CPoint p = where;
    result = modal->onMouseDown(p, buttons);
    if (result == kMouseEventHandled && modalView == modal) mouseDownView = modal;
  } else {
    CView* target = getViewAtDeep(where);
    // A click elsewhere ends a text edit.
    if (focusView && target != focusView) setFocusView(nullptr);
    CPoint p = where;
    result = CViewContainer::onMouseDown(p, buttons);
  }
  forget();
  return result;
}

CMouseEventResult CFrame::platformOnMouseUp(const CPoint& where, const CButtonState& buttons) {
  mouseLocation = where;
  mouseButtons = buttons;
  remember();
  CPoint p = where;
  CMouseEventResult result = kMouseEventNotHandled;
  // A list opened by a press gets the release of that press too (press, drag, release).
  if (modalView && !mouseDownView) result = modalView->onMouseUp(p, buttons);
  else result = CViewContainer::onMouseUp(p, buttons);
  updateMouseOver(where, buttons);
  forget();
  return result;
}

CMouseEventResult CFrame::platformOnMouseMoved(const CPoint& where, const CButtonState& buttons) {
  mouseLocation = where;
  mouseButtons = buttons;
  remember();
  CMouseEventResult result = kMouseEventNotHandled;
  if (mouseDownView) {
    CPoint p = where;
    result = CViewContainer::onMouseMoved(p, buttons);
  } else {
    updateMouseOver(where, buttons);
    if (CView* v = mouseOverView) {
      CPoint p = toViewCoordinates(v, where);
      result = v->onMouseMoved(p, buttons);
    }
  }
  forget();
  return result;
}

void CFrame::platformOnMouseExited(const CPoint& where) {
  mouseLocation = where;
  if (!mouseDownView) updateMouseOver(where, mouseButtons);
}

void CFrame::updateMouseOver(const CPoint& where, const CButtonState& buttons) {
  CView* now = nullptr;
  if (size.pointInside(where)) {
    if (modalView) now = modalView->getViewSize().pointInside(where) ? modalView : nullptr;
    else now = getViewAtDeep(where);
  }
  if (now == mouseOverView) return;
  if (CView* old = mouseOverView) {
    mouseOverView = nullptr;
    CPoint p = toViewCoordinates(old, where);
    old->onMouseExited(p, buttons);
  }
  if (now && (now == modalView || isInside(now, this))) {
    mouseOverView = now;
    CPoint p = toViewCoordinates(now, where);
    now->onMouseEntered(p, buttons);
  }
}

bool CFrame::platformOnWheel(const CPoint& where, float distance, const CButtonState& buttons) {
  mouseLocation = where;
  remember();
  bool handled = false;
  if (modalView) handled = modalView->onWheel(where, distance, buttons);
  else handled = CViewContainer::onWheel(where, distance, buttons);
  forget();
  return handled;
}

int32_t CFrame::onKeyDown(vst::VstKeyCode& key) {
  if (modalView) return modalView->onKeyDown(key);
  if (focusView) return focusView->onKeyDown(key);
  return -1;
}

int32_t CFrame::onKeyUp(vst::VstKeyCode& key) {
  if (modalView) return modalView->onKeyUp(key);
  if (focusView) return focusView->onKeyUp(key);
  return -1;
}

bool CFrame::platformOnKeyDown(vst::VstKeyCode key) {
  remember();
  const bool handled = onKeyDown(key) != -1;
  forget();
  return handled;
}

bool CFrame::platformOnKeyUp(vst::VstKeyCode key) {
  remember();
  const bool handled = onKeyUp(key) != -1;
  forget();
  return handled;
}

void CFrame::platformOnFocusLost() { setFocusView(nullptr); }

}  // namespace orv
