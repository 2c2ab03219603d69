// The buttons of the preset bar. Each shows a mouse-over image, so the user
// sees what a click will hit before making it.
#pragma once

#include <cstdint>

#include "gui/vstgui.h"

namespace orv {

// A momentary button with three images: at rest, mouse over, pressed. In
// double-click mode (the default preset and bank buttons, which overwrite
// or delete stored defaults) a single click does nothing; a double-click
// sends 1, or 0.5 with Ctrl held.
class CPSKickButton : public CKickButton {
 public:
  CPSKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = {}, bool doubleClickMode = false);

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;

  bool isHover() const { return hover; }
  bool isPressed() const { return pressed; }
  bool isDoubleClickMode() const { return doubleClickMode; }

 protected:
  bool hover = false;
  bool pressed = false;
  bool doubleClickMode;
};

// A file button: a left click sends 1, a plain right click 0.5 (load the file
// with its byte order reversed). The file dialog runs while the listener
// handles the click; the value is 0 again afterwards.
class CSaveLoadButton : public CKickButton {
 public:
  CSaveLoadButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                  CBitmap* background, const CPoint& offset = {});

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;

  bool isHover() const { return hover; }

 protected:
  bool hover = false;
};

// Previous / next: a press on the left half sends -1, on the right half +1;
// the release returns to rest without another message. Five images: at
// rest, mouse over the left half, over the right half, left pressed, right
// pressed.
class CPSRockerSwitch : public CRockerSwitch {
 public:
  CPSRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                  CBitmap* background, const CPoint& offset = {}, int32_t style = kHorizontal);

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;

  int32_t getHoverSide() const { return hoverSide; }
  // The image drawn now (0 to 4).
  int32_t imageIndex() const;

 protected:
  int32_t sideOf(const CPoint& where) const;
  int32_t hoverSide = 0;
};

}  // namespace orv
