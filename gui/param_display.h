// Text displays: CParamDisplay shows its value through a value-to-text
// function; CTextEdit shows a text and lets the user edit it in place.
#pragma once

#include <functional>
#include <string>

#include "gui/control.h"

namespace orv {

// Style bits of displays and menus.
enum CParamDisplayStyle : int32_t {
  k3DIn = 1 << 0,
  k3DOut = 1 << 1,
  kShadowText = 1 << 2,
  kNoFrame = 1 << 3,
  kPopupStyle = 1 << 9,
  kCheckStyle = 1 << 10,
  kNoTextStyle = 1 << 11,
  kNoDrawStyle = 1 << 12,
};

class CParamDisplay : public CControl {
 public:
  // Writes the text for a value into a buffer of 256 bytes.
  using StringConvert = void (*)(float value, char* text);

  CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);
  ~CParamDisplay() override;

  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* name) const override;

  void setFont(CFontRef font);
  CFontRef getFont() const { return font; }
  void setFontColor(const CColor& c) { fontColor = c; }
  CColor getFontColor() const { return fontColor; }
  void setBackColor(const CColor& c) { backColor = c; }
  CColor getBackColor() const { return backColor; }
  void setFrameColor(const CColor& c) { frameColor = c; }
  CColor getFrameColor() const { return frameColor; }
  void setHoriAlign(CHoriTxtAlign a) { horiAlign = a; }
  CHoriTxtAlign getHoriAlign() const { return horiAlign; }
  void setStyle(int32_t s) { style = s; }
  int32_t getStyle() const { return style; }
  void setTextTransparency(bool v) { textTransparent = v; }
  void setAntialias(bool v) { antialias = v; }
  void setStringConvert(StringConvert convert) { stringConvert = convert; }
  // Without a function the value is written with "%2.2f".
  std::string valueText() const;

 protected:
  // Background (bitmap at the back offset, or the back colour) and frame.
  void drawBack(CDrawContext* context);
  void drawText(CDrawContext* context, const char* text, const CRect& rect);

  CFontRef font;
  CColor fontColor = kWhiteCColor;
  CColor backColor = kBlackCColor;
  CColor frameColor = kBlackCColor;
  CHoriTxtAlign horiAlign = kCenterText;
  int32_t style;
  bool textTransparent = false;
  bool antialias = true;
  StringConvert stringConvert = nullptr;
};

class CTextEdit : public CParamDisplay {
 public:
  CTextEdit(const CRect& size, CControlListener* listener, int32_t tag, const char* text = nullptr,
            CBitmap* background = nullptr, int32_t style = 0);

  // While editing, changes the text being edited too.
  virtual void setText(const char* text);
  const char* getText() const { return text.c_str(); }

  void draw(CDrawContext* context) override;
  // A left click starts editing, with the caret at the end of the text.
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  // While editing: characters, Backspace, Delete, Left, Right, Home, End;
  // Enter ends the edit and tells the listener, Escape restores the text.
  int32_t onKeyDown(vst::VstKeyCode& key) override;
  void takeFocus() override;
  // Losing the focus ends the edit as Enter does.
  void looseFocus() override;
  bool isTypeOf(const char* name) const override;

  bool isEditing() const { return editing; }
  size_t getCaret() const { return caret; }

 protected:
  std::string text;
  std::string textBeforeEdit;
  size_t caret = 0;  // byte position in the UTF-8 text
  bool editing = false;
  bool cancelled = false;
};

}  // namespace orv
