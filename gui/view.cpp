#include "gui/view.h"

#include <algorithm>
#include <cstring>

#include "gui/frame.h"

namespace orv {

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView() {
  if (background) background->forget();
}

void CView::draw(CDrawContext* context) {
  if (background) background->draw(context, size);
}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/) { draw(context); }

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
bool CView::onWheel(const CPoint&, float, const CButtonState&) { return false; }
int32_t CView::onKeyDown(vst::VstKeyCode&) { return -1; }
int32_t CView::onKeyUp(vst::VstKeyCode&) { return -1; }

void CView::invalid() { invalidRect(size); }

void CView::invalidRect(const CRect& rect) {
  CFrame* frame = getFrame();
  if (!frame || !visible) return;
  // `rect` is in the parent's coordinates.
  CRect r = rect;
  if (parent && parent != frame) r.offset(parent->getFrameRect().getTopLeft());
  frame->invalidFrameRect(r);
}

void CView::setViewSize(const CRect& rect, bool invalidate) {
  if (invalidate) invalid();
  size = rect;
  mouseableArea = rect;
  if (invalidate) invalid();
}

void CView::setVisible(bool v) {
  if (visible == v) return;
  if (!v) invalid();
  visible = v;
  if (v) invalid();
}

void CView::setBackground(CBitmap* bitmap) {
  if (bitmap == background) return;
  if (bitmap) bitmap->remember();
  if (background) background->forget();
  background = bitmap;
  setDirty(true);
}

CFrame* CView::getFrame() const {
  const CView* v = this;
  while (v->parent) v = v->parent;
  return dynamic_cast<CFrame*>(const_cast<CView*>(v));
}

CPoint CView::localToFrame(const CPoint& p) const {
  CPoint result = p;
  // `p` is in the parent's coordinates: add the origins of every container above.
  for (const CViewContainer* c = parent; c && c->getParentView(); c = c->getParentView())
    result.offset(c->getViewSize().getTopLeft());
  return result;
}

CRect CView::getFrameRect() const {
  if (!parent) return size;
  CRect r = size;
  const CPoint origin = localToFrame(CPoint{0, 0});
  r.offset(origin);
  return r;
}

bool CView::isTypeOf(const char* name) const { return std::strcmp(name, "CView") == 0; }

// ---- CViewContainer --------------------------------------------------------------------

CViewContainer::CViewContainer(const CRect& size) : CView(size) {}

CViewContainer::~CViewContainer() { removeAll(true); }

bool CViewContainer::addView(CView* view) { return addView(view, nullptr); }

bool CViewContainer::addView(CView* view, CView* before) {
  if (!view || view == this || view->getParentView()) return false;
  auto at = std::find(children.begin(), children.end(), before);
  children.insert(at, view);
  view->attached(this);
  view->setDirty(true);
  view->invalid();
  return true;
}

bool CViewContainer::removeView(CView* view, bool withForget) {
  auto it = std::find(children.begin(), children.end(), view);
  if (it == children.end()) return false;
  view->invalid();
  if (CFrame* frame = getFrame()) frame->onViewRemoved(view);
  if (mouseDownView == view) mouseDownView = nullptr;
  children.erase(it);
  view->removed();
  if (withForget) view->forget();
  return true;
}

bool CViewContainer::removeAll(bool withForget) {
  while (!children.empty()) removeView(children.back(), withForget);
  return true;
}

bool CViewContainer::isChild(const CView* view) const {
  return view && std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(int32_t index) const {
  return index >= 0 && index < getNbViews() ? children[static_cast<size_t>(index)] : nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where) const {
  const CPoint local = where - size.getTopLeft();
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if ((*it)->isVisible() && (*it)->getViewSize().pointInside(local)) return *it;
  return nullptr;
}

CView* CViewContainer::getViewAtDeep(const CPoint& where) const {
  CView* v = getViewAt(where);
  if (auto* c = dynamic_cast<CViewContainer*>(v)) {
    CView* inner = c->getViewAtDeep(where - size.getTopLeft());
    return inner ? inner : c;
  }
  return v;
}

void CViewContainer::clearMouseDownView(const CView* view) {
  if (mouseDownView == view) mouseDownView = nullptr;
  for (CView* v : children)
    if (auto* c = dynamic_cast<CViewContainer*>(v)) c->clearMouseDownView(view);
}

void CViewContainer::draw(CDrawContext* context) { drawRect(context, size); }

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& updateRect) {
  // `updateRect` is in this container's own coordinates.
  if (background) {
    CRect dest(0, 0, background->getWidth() - backgroundOffset.x, background->getHeight() - backgroundOffset.y);
    dest.bound(updateRect);
    if (!dest.isEmpty()) background->draw(context, dest, dest.getTopLeft() + backgroundOffset);
  } else if (backgroundColor.alpha != 0) {
    context->setFillColor(backgroundColor);
    context->drawRect(updateRect, kDrawFilled);
  }
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
  // `updateRect` is in the parent's coordinates, like `size`.
  CRect own = updateRect;
  own.bound(size);
  if (own.isEmpty()) return;
  const CPoint savedOffset = context->getOffset();
  const CRect savedClip = context->getClipRect();
  CRect local = own;
  local.offset(-size.left, -size.top);
  context->setOffset(savedOffset + size.getTopLeft());
  context->setClipRect(local);
  drawBackgroundRect(context, local);
  CFrame* frame = getFrame();
  for (CView* v : children) {
    if (!v->isVisible() || !v->getViewSize().rectOverlap(local)) continue;
    CRect part = v->getViewSize();
    part.bound(local);
    context->setClipRect(part);
    v->drawRect(context, part);
    if (frame) ++frame->drawCount;
  }
  context->setOffset(savedOffset);
  context->setClipRect(savedClip);
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const CButtonState& buttons) {
  CPoint local = where - size.getTopLeft();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    CView* v = *it;
    if (!v->isVisible() || !v->getMouseEnabled() || !v->hitTest(local)) continue;
    v->remember();  // the handler may remove the view
    CPoint p = local;
    const CMouseEventResult result = v->onMouseDown(p, buttons);
    const bool stillChild = isChild(v);
    v->forget();
    if (result == kMouseEventNotHandled || result == kMouseEventNotImplemented) {
      if (!stillChild) return kMouseEventNotHandled;
      continue;
    }
    if (result == kMouseEventHandled && stillChild) mouseDownView = v;
    return result;
  }
  return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const CButtonState& buttons) {
  CView* v = mouseDownView;
  mouseDownView = nullptr;
  if (!v) return kMouseEventNotHandled;
  CPoint local = where - size.getTopLeft();
  v->remember();
  const CMouseEventResult result = v->onMouseUp(local, buttons);
  v->forget();
  return result;
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  CView* v = mouseDownView;
  if (!v) return kMouseEventNotHandled;
  CPoint local = where - size.getTopLeft();
  v->remember();
  const CMouseEventResult result = v->onMouseMoved(local, buttons);
  v->forget();
  if (result == kMouseMoveEventHandledButDontNeedMoreEvents || result == kMouseEventNotHandled) {
    if (mouseDownView == v) mouseDownView = nullptr;
  }
  return result;
}

bool CViewContainer::onWheel(const CPoint& where, float distance, const CButtonState& buttons) {
  const CPoint local = where - size.getTopLeft();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    CView* v = *it;
    if (!v->isVisible() || !v->getMouseEnabled() || !v->hitTest(local)) continue;
    v->remember();
    const bool handled = v->onWheel(local, distance, buttons);
    v->forget();
    if (handled) return true;
  }
  return false;
}

bool CViewContainer::isTypeOf(const char* name) const {
  return std::strcmp(name, "CViewContainer") == 0 || CView::isTypeOf(name);
}

}  // namespace orv
