// The controls both editors build their pages from, besides the library's:
// a film-strip knob with its own drag and wheel feel, a two-state button, an
// invisible click area that switches between two views, a static label and
// a value display.
#pragma once

#include <cstdint>

#include "gui/vstgui.h"

namespace orv {

// A film-strip knob. A drag is linear or circular by the host's knob mode
// (Alt swaps it). Linear: 300 pixels of travel cover the range, 1,500 with
// Shift; moving up counts fully, right half as much. Circular: the value
// follows the mouse's angle, but a jump across the gap at the ends stops at
// the end instead of wrapping. Ctrl-click restores the default; one wheel
// step moves 0.01 (0.001 with Shift).
class CAnimKnob2 : public CAnimKnob {
 public:
  static constexpr float kLinearDragRange = 300.0f;
  static constexpr float kFineDragRange = 1500.0f;
  enum DragMode : int32_t { kCircularDrag = 0, kLinearDrag = 2 };

  CAnimKnob2(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
             int32_t heightOfOneImage, CBitmap* background, const CPoint& offset = {});

  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  CView* newCopy() const override;

  bool isLinearDrag() const { return linearDrag; }

 protected:
  // Redraws and tells the listener when the value is not the one drawn.
  void changed();

  float entryValue = 0.0f;
  int32_t oldButtons = 0;
  int32_t dragMode = kCircularDrag;
  CPoint firstPoint;
  float dragRange = kLinearDragRange;
  bool linearDrag = false;
  float startValue = 0.0f;
  float dragCoef = 0.0f;
  float halfRange = 0.0f;
};

// A push button with two states: the bitmap's upper half is "off", its lower
// half "on". A click flips the value and tells the listener; the editor sets
// the value back through the effect, which redraws it.
class COrvOnOffButton : public CControl {
 public:
  COrvOnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                  int32_t userTag = 0);

  virtual int32_t getUserTag() const { return userTag; }
  virtual void setUserTag(int32_t tag) { userTag = tag; }

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  CView* newCopy() const override;

 protected:
  int32_t userTag;
};

// An invisible area whose click toggles its value between 0 and 1 (the
// editor shows one of two pages by it).
class CViewContainerSwitch : public CControl {
 public:
  CViewContainerSwitch(const CRect& size, CControlListener* listener, int32_t tag);

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  CView* newCopy() const override;
};

// A static text: black, in the smallest standard font, left-aligned, with
// nothing behind it.
class CLabel2 : public CParamDisplay {
 public:
  static constexpr size_t kTextSize = 256;

  CLabel2(const CRect& size, const char* text);

  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* name) const override;
  CView* newCopy() const override;

  const char* getText() const { return text; }

 protected:
  char text[kTextSize] = {};
};

// The editors' numeric displays: a CParamDisplay with a background bitmap
// and a value-to-text function.
class CBackDisplay : public CParamDisplay {
 public:
  CBackDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);

  bool isTypeOf(const char* name) const override;
  CView* newCopy() const override;
};

}  // namespace orv
