// A pop-up list of entries. The value is the index of the chosen entry. A
// click opens the list over the frame: entries in columns of
// `nbItemsPerColumn`, the current one checked; the mouse or the arrow keys
// and Enter choose, Escape or a click outside cancels.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/param_display.h"

namespace orv {

class CMenuItem {
 public:
  enum Flags { kNoFlags = 0, kDisabled = 1 << 0, kChecked = 1 << 1, kSeparator = 1 << 2, kTitle = 1 << 3 };
  explicit CMenuItem(std::string title, int32_t flags = kNoFlags) : title(std::move(title)), flags(flags) {}

  void setTitle(const char* t) { title = t ? t : ""; }
  const char* getTitle() const { return title.c_str(); }
  void setChecked(bool v) { flags = v ? (flags | kChecked) : (flags & ~kChecked); }
  bool isChecked() const { return (flags & kChecked) != 0; }
  void setEnabled(bool v) { flags = v ? (flags & ~kDisabled) : (flags | kDisabled); }
  bool isEnabled() const { return (flags & kDisabled) == 0; }
  bool isSeparator() const { return (flags & kSeparator) != 0; }
  bool isTitle() const { return (flags & kTitle) != 0; }

 private:
  std::string title;
  int32_t flags;
};

class COptionMenu : public CParamDisplay {
 public:
  COptionMenu(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background = nullptr,
              CBitmap* bgWhenClick = nullptr, int32_t style = 0);
  ~COptionMenu() override;

  // Appends (index -1) or inserts an entry; "-" makes a separator. Returns the entry.
  CMenuItem* addEntry(const char* title, int32_t index = -1, int32_t flags = CMenuItem::kNoFlags);
  bool removeEntry(int32_t index);
  void removeAllEntry();
  int32_t getNbEntries() const { return static_cast<int32_t>(entries.size()); }
  CMenuItem* getEntry(int32_t index) const;
  CMenuItem* getCurrent() const { return getEntry(getCurrentIndex()); }
  int32_t getCurrentIndex() const;
  // Makes `index` the current entry (and the value); false when out of range.
  bool setCurrent(int32_t index, bool countSeparator = true);
  bool checkEntry(int32_t index, bool state);
  bool checkEntryAlone(int32_t index);
  void setNbItemsPerColumn(int32_t n) { nbItemsPerColumn = n > 0 ? n : 1; }
  int32_t getNbItemsPerColumn() const { return nbItemsPerColumn; }
  // The index the user chose last (-1 when the list was cancelled).
  int32_t getLastResult() const { return lastResult; }

  void setValue(float v) override;
  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  int32_t onKeyDown(vst::VstKeyCode& key) override;
  bool isTypeOf(const char* name) const override;
  void removed() override;

  // Opens the list (as a click does); false when it is empty or not on an open frame.
  bool popup();
  bool isPopupOpen() const { return popupView != nullptr; }
  // Called by the list when it closes, with the chosen index or -1.
  void popupClosed(int32_t chosen);

 private:
  std::vector<std::unique_ptr<CMenuItem>> entries;
  CBitmap* bgWhenClick;
  int32_t nbItemsPerColumn = 1 << 30;
  int32_t lastResult = -1;
  CView* popupView = nullptr;
};

}  // namespace orv
