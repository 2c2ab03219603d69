// Views and containers. A view's size is in the coordinates of its parent
// container (the frame's for views on a page at 0, 0); mouse positions reach
// a view in the same coordinates, so it compares them with its size directly.
#pragma once

#include <vector>

#include "gui/base.h"
#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/events.h"
#include "gui/geometry.h"
#include "host/vst_abi.h"

namespace orv {

class CFrame;
class CViewContainer;

class CView : public CBaseObject {
 public:
  explicit CView(const CRect& size);

  // Draws the whole view; `drawRect` is called with the part that needs it.
  virtual void draw(CDrawContext* context);
  virtual void drawRect(CDrawContext* context, const CRect& updateRect);

  virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
  virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
  virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
  virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
  virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
  virtual bool onWheel(const CPoint& where, float distance, const CButtonState& buttons);
  // -1: not handled, otherwise handled.
  virtual int32_t onKeyDown(vst::VstKeyCode& key);
  virtual int32_t onKeyUp(vst::VstKeyCode& key);

  // Keyboard focus: called by the frame when the view gains or loses it.
  virtual void takeFocus() {}
  virtual void looseFocus() {}
  bool wantsFocus() const { return focusable; }
  void setWantsFocus(bool v) { focusable = v; }

  // Marks the view for redrawing at the frame's next idle.
  virtual void setDirty(bool state = true) { dirty = state; }
  virtual bool isDirty() const { return dirty; }
  // Asks the frame to redraw the view's rectangle at its next idle.
  virtual void invalid();
  void invalidRect(const CRect& rect);

  const CRect& getViewSize() const { return size; }
  virtual void setViewSize(const CRect& rect, bool invalidate = true);
  CRect getMouseableArea() const { return mouseableArea; }
  void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
  CCoord getWidth() const { return size.getWidth(); }
  CCoord getHeight() const { return size.getHeight(); }
  bool hitTest(const CPoint& where) const { return mouseableArea.pointInside(where); }

  void setMouseEnabled(bool v) { mouseEnabled = v; }
  bool getMouseEnabled() const { return mouseEnabled; }
  virtual void setVisible(bool v);
  bool isVisible() const { return visible; }
  void setTransparency(bool v) { transparent = v; }
  bool getTransparency() const { return transparent; }

  virtual void setBackground(CBitmap* bitmap);
  CBitmap* getBackground() const { return background; }

  CFrame* getFrame() const;
  CViewContainer* getParentView() const { return parent; }
  bool isAttached() const { return parent != nullptr; }
  // The view's rectangle in frame coordinates.
  CRect getFrameRect() const;
  // Turns a point in this view's (parent) coordinates into frame coordinates.
  CPoint localToFrame(const CPoint& p) const;

  // Class name test; subclasses answer for their own name and pass on.
  virtual bool isTypeOf(const char* name) const;
  // A copy of the view, or null when the class does not support copies.
  virtual CView* newCopy() const { return nullptr; }

  // Called by a container on adding and removing.
  virtual void attached(CViewContainer* container) { parent = container; }
  virtual void removed() { parent = nullptr; }

 protected:
  ~CView() override;

  CRect size;
  CRect mouseableArea;
  CViewContainer* parent = nullptr;
  CBitmap* background = nullptr;
  bool dirty = false;
  bool mouseEnabled = true;
  bool visible = true;
  bool transparent = false;
  bool focusable = false;
};

class CViewContainer : public CView {
 public:
  explicit CViewContainer(const CRect& size);

  // Adds on top of the others; the container takes over the caller's reference.
  virtual bool addView(CView* view);
  virtual bool addView(CView* view, CView* before);
  // Takes the view out; with `withForget` the container's reference goes too
  // (which deletes a view nobody else holds), otherwise it passes to the caller.
  virtual bool removeView(CView* view, bool withForget = true);
  virtual bool removeAll(bool withForget = true);
  bool isChild(const CView* view) const;
  int32_t getNbViews() const { return static_cast<int32_t>(children.size()); }
  CView* getView(int32_t index) const;
  // The topmost visible direct child at `where` (parent coordinates), or null.
  CView* getViewAt(const CPoint& where) const;
  // The deepest visible view at `where`, searching nested containers.
  CView* getViewAtDeep(const CPoint& where) const;

  void setBackgroundColor(const CColor& c) { backgroundColor = c; }
  CColor getBackgroundColor() const { return backgroundColor; }
  void setBackgroundOffset(const CPoint& p) { backgroundOffset = p; }
  CPoint getBackgroundOffset() const { return backgroundOffset; }

  void draw(CDrawContext* context) override;
  void drawRect(CDrawContext* context, const CRect& updateRect) override;
  // Draws the container's background in the part `updateRect` (own coordinates).
  virtual void drawBackgroundRect(CDrawContext* context, const CRect& updateRect);

  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;

  bool isTypeOf(const char* name) const override;
  // Calls `f` on every view below this container, depth first, parents first.
  template <typename F>
  void forEachDescendant(F&& f) const {
    for (CView* v : children) {
      f(v);
      if (auto* c = dynamic_cast<CViewContainer*>(v)) c->forEachDescendant(f);
    }
  }
  // The child that got the current press and gets its moved and up events.
  CView* getMouseDownView() const { return mouseDownView; }
  void clearMouseDownView(const CView* view);

 protected:
  ~CViewContainer() override;

  std::vector<CView*> children;
  CColor backgroundColor = kTransparentCColor;
  CPoint backgroundOffset;
  CView* mouseDownView = nullptr;
};

}  // namespace orv
