#include "gui/option_menu.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gui/frame.h"

namespace orv {

namespace {

// The list a menu opens: drawn by us over the frame, modal until an entry is
// chosen or the list is cancelled.
class MenuPopup : public CView {
 public:
  MenuPopup(COptionMenu* menu, const CRect& size, int32_t perColumn, CCoord rowHeight, CCoord columnWidth)
      : CView(size), menu(menu), perColumn(perColumn), rowHeight(rowHeight), columnWidth(columnWidth),
        highlighted(menu->getCurrentIndex()) {}

  void draw(CDrawContext* context) override {
    context->setDrawMode(kAliasing);
    context->setLineWidth(1);
    context->setFillColor(MakeCColor(246, 246, 246));
    context->setFrameColor(MakeCColor(90, 90, 90));
    context->drawRect(size, kDrawFilledAndStroked);
    const CFontRef font = menu->getFont();
    const int32_t current = menu->getCurrentIndex();
    const bool checkCurrent = (menu->getStyle() & kCheckStyle) != 0;
    for (int32_t i = 0; i < menu->getNbEntries(); ++i) {
      const CMenuItem* item = menu->getEntry(i);
      const CRect r = itemRect(i);
      if (item->isSeparator()) {
        context->setFrameColor(MakeCColor(180, 180, 180));
        const CCoord y = std::floor((r.top + r.bottom) / 2);
        context->drawLine(CPoint(r.left + 4, y), CPoint(r.right - 5, y));
        continue;
      }
      const bool hot = i == highlighted && item->isEnabled() && !item->isTitle();
      if (hot) {
        context->setFillColor(MakeCColor(52, 101, 164));
        context->drawRect(r, kDrawFilled);
      }
      const CColor textColor = !item->isEnabled() ? MakeCColor(150, 150, 150) : (hot ? kWhiteCColor : kBlackCColor);
      if (item->isChecked() || (checkCurrent && i == current)) {
        // A check mark in the left margin.
        context->setDrawMode(kAntiAliasing);
        context->setLineWidth(2);
        context->setFrameColor(textColor);
        const CCoord cx = r.left + 4, cy = (r.top + r.bottom) / 2;
        context->drawLine(CPoint(cx, cy), CPoint(cx + 3, cy + 3));
        context->drawLine(CPoint(cx + 3, cy + 3), CPoint(cx + 8, cy - 4));
        context->setLineWidth(1);
        context->setDrawMode(kAliasing);
      }
      CRect textRect = r;
      textRect.left += kCheckWidth;
      context->setFont(font);
      context->setFontColor(textColor);
      context->drawString(item->getTitle(), textRect, kLeftText, true);
    }
  }

  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& /*buttons*/) override {
    if (!size.pointInside(where)) {
      finish(-1);
      return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    highlight(indexAt(where));
    return kMouseEventHandled;
  }

  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& /*buttons*/) override {
    highlight(size.pointInside(where) ? indexAt(where) : -1);
    return kMouseEventHandled;
  }

  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& /*buttons*/) override {
    const int32_t i = size.pointInside(where) ? indexAt(where) : -1;
    if (selectable(i)) finish(i);
    return kMouseEventHandled;
  }

  CMouseEventResult onMouseExited(CPoint& /*where*/, const CButtonState& /*buttons*/) override {
    highlight(-1);
    return kMouseEventHandled;
  }

  bool onWheel(const CPoint& /*where*/, float distance, const CButtonState& /*buttons*/) override {
    step(distance > 0 ? -1 : 1);
    return true;
  }

  int32_t onKeyDown(vst::VstKeyCode& key) override {
    switch (key.virt) {
      case VKEY_UP: step(-1); break;
      case VKEY_DOWN: step(1); break;
      case VKEY_LEFT: step(-perColumn); break;
      case VKEY_RIGHT: step(perColumn); break;
      case VKEY_HOME: moveTo(0, 1); break;
      case VKEY_END: moveTo(menu->getNbEntries() - 1, -1); break;
      case VKEY_RETURN:
      case VKEY_ENTER:
      case VKEY_SPACE:
        finish(selectable(highlighted) ? highlighted : -1);
        break;
      case VKEY_ESCAPE: finish(-1); break;
      default: break;
    }
    return 1;  // the open list takes every key
  }

  void detach() { menu = nullptr; }

 private:
  static constexpr CCoord kCheckWidth = 16;

  CRect itemRect(int32_t i) const {
    const int32_t column = i / perColumn, row = i % perColumn;
    const CCoord x = size.left + 1 + column * columnWidth, y = size.top + 1 + row * rowHeight;
    return CRect(x, y, x + columnWidth, y + rowHeight);
  }

  int32_t indexAt(const CPoint& where) const {
    const int32_t column = static_cast<int32_t>((where.x - size.left - 1) / columnWidth);
    const int32_t row = static_cast<int32_t>((where.y - size.top - 1) / rowHeight);
    if (column < 0 || row < 0 || row >= perColumn) return -1;
    const int32_t i = column * perColumn + row;
    return i < menu->getNbEntries() ? i : -1;
  }

  bool selectable(int32_t i) const {
    const CMenuItem* item = menu ? menu->getEntry(i) : nullptr;
    return item && item->isEnabled() && !item->isSeparator() && !item->isTitle();
  }

  void highlight(int32_t i) {
    if (i == highlighted) return;
    highlighted = i;
    setDirty(true);
  }

  // The next selectable entry from `from` in direction `dir`, staying put at the ends.
  void moveTo(int32_t from, int32_t dir) {
    for (int32_t i = from; i >= 0 && i < menu->getNbEntries(); i += dir)
      if (selectable(i)) {
        highlight(i);
        return;
      }
  }

  void step(int32_t delta) {
    const int32_t n = menu->getNbEntries();
    if (n == 0) return;
    int32_t target = highlighted < 0 ? (delta > 0 ? 0 : n - 1) : highlighted + delta;
    target = std::clamp(target, 0, n - 1);
    moveTo(target, delta > 0 ? 1 : -1);
  }

  void finish(int32_t chosen) {
    if (!menu) return;
    COptionMenu* owner = menu;
    menu = nullptr;
    remember();  // the owner takes the list off the frame
    owner->popupClosed(chosen);
    forget();
  }

  COptionMenu* menu;
  int32_t perColumn;
  CCoord rowHeight, columnWidth;
  int32_t highlighted;
};

}  // namespace

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                         CBitmap* bgWhenClick, int32_t style)
    : CParamDisplay(size, background, style), bgWhenClick(bgWhenClick) {
  this->listener = listener;
  this->tag = tag;
  if (bgWhenClick) bgWhenClick->remember();
  vmin = 0;
  vmax = 0;
  defaultValue = 0;
}

COptionMenu::~COptionMenu() {
  if (bgWhenClick) bgWhenClick->forget();
}

CMenuItem* COptionMenu::addEntry(const char* title, int32_t index, int32_t flags) {
  const std::string t = title ? title : "";
  if (t == "-") flags |= CMenuItem::kSeparator;
  auto item = std::make_unique<CMenuItem>(t, flags);
  CMenuItem* raw = item.get();
  if (index < 0 || index >= getNbEntries()) entries.push_back(std::move(item));
  else entries.insert(entries.begin() + index, std::move(item));
  vmax = static_cast<float>(getNbEntries() - 1);
  return raw;
}

bool COptionMenu::removeEntry(int32_t index) {
  if (index < 0 || index >= getNbEntries()) return false;
  entries.erase(entries.begin() + index);
  vmax = static_cast<float>(std::max(0, getNbEntries() - 1));
  return true;
}

void COptionMenu::removeAllEntry() {
  entries.clear();
  vmax = 0;
  value = 0;
}

CMenuItem* COptionMenu::getEntry(int32_t index) const {
  return index >= 0 && index < getNbEntries() ? entries[static_cast<size_t>(index)].get() : nullptr;
}

int32_t COptionMenu::getCurrentIndex() const {
  if (entries.empty() || !(value == value)) return -1;
  return std::clamp(static_cast<int32_t>(std::lround(value)), 0, getNbEntries() - 1);
}

bool COptionMenu::setCurrent(int32_t index, bool /*countSeparator*/) {
  if (index < 0 || index >= getNbEntries()) return false;
  setValue(static_cast<float>(index));
  return true;
}

void COptionMenu::setValue(float v) {
  if (v != value) setDirty(true);
  value = v;
}

bool COptionMenu::checkEntry(int32_t index, bool state) {
  CMenuItem* item = getEntry(index);
  if (!item) return false;
  item->setChecked(state);
  return true;
}

bool COptionMenu::checkEntryAlone(int32_t index) {
  if (!getEntry(index)) return false;
  for (auto& item : entries) item->setChecked(false);
  return checkEntry(index, true);
}

void COptionMenu::draw(CDrawContext* context) {
  if (style & kNoDrawStyle) return;
  if (popupView && bgWhenClick) bgWhenClick->draw(context, size, backOffset);
  else drawBack(context);
  if (const CMenuItem* item = getCurrent()) {
    CRect r = size;
    r.inset(3, 0);
    drawText(context, item->getTitle(), r);
  }
}

CMouseEventResult COptionMenu::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton() && !buttons.isRightButton()) return kMouseEventNotHandled;
  popup();
  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

int32_t COptionMenu::onKeyDown(vst::VstKeyCode& /*key*/) { return -1; }

bool COptionMenu::popup() {
  CFrame* frame = getFrame();
  if (!frame || entries.empty() || popupView) return false;
  // Size the list from its longest title.
  CCoord widest = 0;
  for (auto& item : entries) widest = std::max(widest, CDrawContext::measureString(*font, item->getTitle()));
  const CCoord rowHeight = std::ceil(font->getSize()) + 5;
  const CCoord columnWidth = std::max(std::ceil(widest) + 16 + 10, std::max(CCoord{48}, getWidth()));
  const int32_t perColumn = std::min(nbItemsPerColumn, getNbEntries());
  const int32_t columns = (getNbEntries() + perColumn - 1) / perColumn;
  const CCoord w = columns * columnWidth + 2, h = perColumn * rowHeight + 2;
  const CRect anchor = getFrameRect();
  const CRect area = frame->getViewSize();
  // Below the menu when it fits, otherwise above, otherwise as low as the frame allows.
  CCoord y = anchor.bottom;
  if (y + h > area.bottom) y = anchor.top - h;
  if (y < area.top) y = std::max(area.top, area.bottom - h);
  const CCoord x = std::max(area.left, std::min(anchor.left, area.right - w));
  auto* list = new MenuPopup(this, CRect(x, y, x + w, y + h), perColumn, rowHeight, columnWidth);
  popupView = list;
  frame->addView(list);
  frame->setModalView(list);
  setDirty(true);
  return true;
}

void COptionMenu::popupClosed(int32_t chosen) {
  CView* list = popupView;
  popupView = nullptr;
  if (CFrame* frame = list ? list->getFrame() : nullptr) {
    if (frame->getModalView() == list) frame->setModalView(nullptr);
    frame->removeView(list, true);
  }
  setDirty(true);
  lastResult = chosen;
  if (chosen < 0) return;
  remember();
  beginEdit();
  setValue(static_cast<float>(chosen));
  valueChanged();
  endEdit();
  forget();
}

void COptionMenu::removed() {
  if (popupView) {
    static_cast<MenuPopup*>(popupView)->detach();
    popupClosed(-1);
  }
  CParamDisplay::removed();
}

bool COptionMenu::isTypeOf(const char* name) const {
  return std::strcmp(name, "COptionMenu") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace orv
