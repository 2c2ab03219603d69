#include "presets/preset_system_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/path_text.h"
#include "platform/registry.h"
#include "presets/preset_bar.h"

namespace orv {

namespace {

using platform::RegistryKey;
using platform::RegType;

constexpr const char* kDefaultPresetValue = "DefaultPreset";
constexpr const char* kDefaultBankValue = "DefaultBank";
constexpr const char* kDirectoryValue = "CurrDir";
constexpr const char* kBankNameValue = "CurrBank";
constexpr const char* kPresetNameValue = "CurrPreset";

const char* memoValue(CPresetSystemEditor::Memo memo) {
  return memo == CPresetSystemEditor::Memo::A ? "MemoA" : "MemoB";
}

bool isSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// Copies text that is known to fit (at most kMaxPathLength bytes).
void copyPath(char* to, std::string_view text) {
  std::memcpy(to, text.data(), text.size());
  to[text.size()] = '\0';
}

// Reads at most record.size() bytes of the file; whatever the file does not
// hold stays zero, so a short file reads as if zero-filled and a missing or
// unreadable one as all zeros (which no reader accepts). Opened for reading
// only, so a file the user may only read loads too.
template <size_t N>
void readRecordFile(const char* path, std::array<uint8_t, N>& record) {
  record.fill(0);
  if (std::FILE* file = platform::openFile(path, "rb")) {
    const size_t got = std::fread(record.data(), 1, N, file);
    if (got < N) std::memset(record.data() + got, 0, N - got);  // a failed read may leave anything
    std::fclose(file);
  }
}

template <size_t N>
void writeRecordFile(const char* path, const std::array<uint8_t, N>& record) {
  if (std::FILE* file = platform::openFile(path, "wb")) {
    std::fwrite(record.data(), 1, N, file);
    std::fclose(file);
  }
}

}  // namespace

struct CPresetSystemEditor::FileKind {
  const char* loadTitle;
  const char* loadReversedTitle;
  const char* saveTitle;
  const char* description;
  const char* extension;
  bool bank;
};

const CPresetSystemEditor::FileKind CPresetSystemEditor::presetFiles{
    "Load preset", "Load preset (endian-reversed)", "Save preset", "Orv Preset", "orv", false};
const CPresetSystemEditor::FileKind CPresetSystemEditor::bankFiles{
    "Load bank", "Load bank (endian-reversed)", "Save bank", "Orv Bank", "orb", true};

CPresetSystemEditor::CPresetSystemEditor(CPresetSystemEffect* effect) : AEffGUIEditor(effect) {
  // The dialogs start in the working directory until a path is remembered.
  try {
    std::string text;
    if (platform::currentDirectory(text) && !text.empty()) {
      if (!isSeparator(text.back())) text += static_cast<char>(std::filesystem::path::preferred_separator);
      if (text.size() <= kMaxPathLength) copyPath(presetDirectory, text);
    }
  } catch (...) {
    // Out of memory: start without a directory.
  }
  std::memcpy(storedDirectory, presetDirectory, sizeof presetDirectory);
  offerEditorWindow(false);
}

CPresetSystemEditor::~CPresetSystemEditor() {
  idleTimer.reset();
  savePaths();
}

void CPresetSystemEditor::offerEditorWindow(bool offered) {
  if (CPresetSystemEffect* fx = presetEffect()) fx->offerEditorWindow(offered);
}

bool CPresetSystemEditor::getRect(vst::ERect** r) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
  return AEffGUIEditor::getRect(r);
}

void CPresetSystemEditor::writePreset(PresetRecord& record) {
  CPresetSystemEffect* fx = presetEffect();
  const Preset* table = fx != nullptr ? fx->presetTable() : nullptr;
  if (table == nullptr) return;
  writeRecordHeader(record.data(), fx->getUniqueID(), kPresetRecordType);
  writeRecordPreset(record.data() + kRecordHeaderSize, table[fx->getPresetIndex()]);
}

void CPresetSystemEditor::writeBank(BankRecord& record) {
  CPresetSystemEffect* fx = presetEffect();
  const Preset* table = fx != nullptr ? fx->presetTable() : nullptr;
  if (table == nullptr) return;
  writeRecordHeader(record.data(), fx->getUniqueID(), kBankRecordType);
  for (int k = 0; k < kNumPresets; ++k) writeRecordPreset(record.data() + kRecordHeaderSize + sizeof(Preset) * k, table[k]);
}

void CPresetSystemEditor::readPreset(const PresetRecord& record, bool reversed) {
  CPresetSystemEffect* fx = presetEffect();
  Preset* table = fx != nullptr ? fx->presetTable() : nullptr;
  if (table == nullptr) return;
  const std::optional<bool> foreign = recordIsForeign(record.data(), fx->getUniqueID());
  if (!foreign || record[4] != kPresetRecordType) return;
  const int32_t index = fx->getPresetIndex();
  readRecordPreset(record.data() + kRecordHeaderSize, *foreign != reversed, table[index]);
  char name[kPresetNameSize + 1];
  readPresetName(table[index].name, name);
  presetNameChanged(name);
  fx->renamePreset(name);
  fx->selectPreset(index);
}

void CPresetSystemEditor::readBank(const BankRecord& record, bool reversed) {
  CPresetSystemEffect* fx = presetEffect();
  Preset* table = fx != nullptr ? fx->presetTable() : nullptr;
  if (table == nullptr) return;
  // Preset 0 is selected even when the record turns out not to be ours.
  fx->selectPreset(0);
  const std::optional<bool> foreign = recordIsForeign(record.data(), fx->getUniqueID());
  if (!foreign || record[4] != kBankRecordType) return;
  for (int k = 0; k < kNumPresets; ++k)
    readRecordPreset(record.data() + kRecordHeaderSize + sizeof(Preset) * k, *foreign != reversed, table[k]);
  fx->selectPreset(0);
  showPresetNames();
}

bool CPresetSystemEditor::rememberPick(const char* path, char* fileName) {
  const std::string_view picked(path);
  size_t split = picked.size();
  while (split > 0 && !isSeparator(picked[split - 1])) --split;
  if (split == 0 || split == picked.size()) return false;  // no folder, or no file name
  const std::string_view folder = picked.substr(0, split), name = picked.substr(split);
  if (folder.size() > kMaxPathLength || name.size() > kMaxPathLength) return false;
  copyPath(presetDirectory, folder);
  copyPath(fileName, name);
  return true;
}

void CPresetSystemEditor::loadFile(const FileKind& kind, bool reversed) {
  CFrame* parent = openFrame();
  if (parent == nullptr || presetEffect() == nullptr) return;
  std::string path;
  try {
    std::unique_ptr<CNewFileSelector> selector = CNewFileSelector::create(parent, CNewFileSelector::kSelectFile);
    if (!selector) return;
    selector->setTitle(reversed ? kind.loadReversedTitle : kind.loadTitle);
    selector->setInitialDirectory(presetDirectory);
    selector->addFileExtension({kind.description, kind.extension});
    selector->setAllowMultiFileSelection(false);
    if (!selector->runModal() || selector->getNumSelectedFiles() != 1) return;
    if (!rememberPick(selector->getSelectedFile(0), kind.bank ? bankFileName : presetFileName)) return;
    path = selector->getSelectedFile(0);
  } catch (...) {
    return;
  }
  // By its full path: changing the working directory would change it for
  // the whole host and every other plug-in in it.
  if (kind.bank) {
    BankRecord record;
    readRecordFile(path.c_str(), record);
    readBank(record, reversed);
  } else {
    PresetRecord record;
    readRecordFile(path.c_str(), record);
    readPreset(record, reversed);
  }
  // Every control may show something of the new preset.
  if (frame != nullptr) frame->invalid();
}

void CPresetSystemEditor::saveFile(const FileKind& kind) {
  CFrame* parent = openFrame();
  if (parent == nullptr || presetEffect() == nullptr) return;
  char* fileName = kind.bank ? bankFileName : presetFileName;
  std::string path;
  try {
    std::unique_ptr<CNewFileSelector> selector = CNewFileSelector::create(parent, CNewFileSelector::kSelectSaveFile);
    if (!selector) return;
    selector->setTitle(kind.saveTitle);
    selector->setInitialDirectory(presetDirectory);
    selector->setDefaultSaveName(fileName);
    selector->setDefaultExtension({kind.description, kind.extension});
    if (!selector->runModal() || selector->getNumSelectedFiles() != 1) return;
    if (!rememberPick(selector->getSelectedFile(0), fileName)) return;
    path = selector->getSelectedFile(0);
  } catch (...) {
    return;
  }
  if (kind.bank) {
    BankRecord record{};
    writeBank(record);
    writeRecordFile(path.c_str(), record);
  } else {
    PresetRecord record{};
    writePreset(record);
    writeRecordFile(path.c_str(), record);
  }
}

void CPresetSystemEditor::loadPresetFile(bool reversed) { loadFile(presetFiles, reversed); }
void CPresetSystemEditor::savePresetFile() { saveFile(presetFiles); }
void CPresetSystemEditor::loadBankFile(bool reversed) { loadFile(bankFiles, reversed); }
void CPresetSystemEditor::saveBankFile() { saveFile(bankFiles); }

void CPresetSystemEditor::storeRecord(const char* valueName, const uint8_t* data, size_t size) {
  RegistryKey key = RegistryKey::create(kPresetSystemKey);
  if (key) key.set(valueName, RegType::binary, data, static_cast<uint32_t>(size));
}

// Only a value of exactly the record's size counts: one that is shorter or
// longer was written by something else and reads as missing.
bool CPresetSystemEditor::queryRecord(const char* valueName, uint8_t* data, size_t size) {
  const RegistryKey key = RegistryKey::open(kPresetSystemKey);
  uint32_t got = static_cast<uint32_t>(size);
  return key && key.query(valueName, RegType::binary, data, got) && got == size;
}

void CPresetSystemEditor::storeDefaultPreset() {
  PresetRecord record{};
  writePreset(record);
  storeRecord(kDefaultPresetValue, record.data(), record.size());
}

void CPresetSystemEditor::storeDefaultBank() {
  BankRecord record{};
  writeBank(record);
  storeRecord(kDefaultBankValue, record.data(), record.size());
}

void CPresetSystemEditor::storeMemo(Memo memo) {
  PresetRecord record{};
  writePreset(record);
  storeRecord(memoValue(memo), record.data(), record.size());
}

void CPresetSystemEditor::clearDefaultPreset() {
  RegistryKey key = RegistryKey::open(kPresetSystemKey);
  if (key) key.remove(kDefaultPresetValue);
}

void CPresetSystemEditor::clearDefaultBank() {
  RegistryKey key = RegistryKey::open(kPresetSystemKey);
  if (key) key.remove(kDefaultBankValue);
}

// A missing value leaves a zero record, which changes no preset (a bank
// still selects preset 0).
void CPresetSystemEditor::loadDefaultPreset() {
  PresetRecord record{};
  if (!queryRecord(kDefaultPresetValue, record.data(), record.size())) record.fill(0);
  readPreset(record, false);
}

void CPresetSystemEditor::recallMemo(Memo memo) {
  PresetRecord record{};
  if (!queryRecord(memoValue(memo), record.data(), record.size())) record.fill(0);
  readPreset(record, false);
}

void CPresetSystemEditor::loadDefaultBank() {
  BankRecord record{};
  if (!queryRecord(kDefaultBankValue, record.data(), record.size())) record.fill(0);
  readBank(record, false);
}

void CPresetSystemEditor::loadDefaults() {
  loadDefaultBank();
  loadDefaultPreset();
  loadPaths();
}

// A missing or unusable value empties its string, the directory included.
void CPresetSystemEditor::loadPaths() {
  const RegistryKey key = RegistryKey::open(kPresetSystemKey);
  const struct {
    const char* valueName;
    char* text;
    char* stored;
  } paths[] = {{kDirectoryValue, presetDirectory, storedDirectory},
               {kBankNameValue, bankFileName, storedBankName},
               {kPresetNameValue, presetFileName, storedPresetName}};
  for (const auto& p : paths) {
    std::string value;
    if (!key || !key.queryString(p.valueName, value, kMaxPathLength)) value.clear();
    copyPath(p.text, value);
    copyPath(p.stored, value);
  }
}

void CPresetSystemEditor::savePaths() {
  const struct {
    const char* valueName;
    const char* text;
    char* stored;
  } paths[] = {{kDirectoryValue, presetDirectory, storedDirectory},
               {kBankNameValue, bankFileName, storedBankName},
               {kPresetNameValue, presetFileName, storedPresetName}};
  RegistryKey key;
  for (const auto& p : paths) {
    // Unchanged paths are left alone, so closing one instance does not undo
    // what another instance remembered in the meantime.
    if (std::strcmp(p.text, p.stored) == 0) continue;
    if (!key) key = RegistryKey::create(kPresetSystemKey);
    if (key && key.setString(p.valueName, p.text)) std::strcpy(p.stored, p.text);
  }
}

}  // namespace orv

// ---- The preset bar -------------------------------------------------------------------

namespace orv {

namespace {

// Colours and sizes of the name field.
constexpr CColor kNameBackColor{209, 227, 238, 255};
constexpr CColor kNameTextColor{36, 36, 32, 255};
constexpr int32_t kMenuStyle = kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle;  // 0x1E00
constexpr int32_t kMenuItemsPerColumn = 10;
constexpr int32_t kBarBitmap = 19000;

// Rectangle of a button of the bar and its bitmap, for a bar whose top is at 444.
struct ButtonPlace {
  int32_t tag;
  CRect rect;
  int32_t bitmap;
  int32_t images;
};

constexpr ButtonPlace kRockerPlace{CPresetSystemEditor::kRockerTag, {313, 444, 344, 458}, 19997, 5};
// In the order they are built, after the name field, the menu and the rocker.
constexpr ButtonPlace kButtonPlaces[] = {
    {CPresetSystemEditor::kLoadBankTag, {70, 444, 82, 458}, 19993, 3},
    {CPresetSystemEditor::kSaveBankTag, {20, 444, 32, 458}, 19994, 3},
    {CPresetSystemEditor::kDefaultBankTag, {32, 446, 69, 456}, 19990, 3},
    {CPresetSystemEditor::kLoadPresetTag, {150, 444, 162, 458}, 19998, 3},
    {CPresetSystemEditor::kSavePresetTag, {91, 444, 103, 458}, 19999, 3},
    {CPresetSystemEditor::kDefaultPresetTag, {103, 446, 150, 456}, 19899, 3},
    {CPresetSystemEditor::kRecallMemoATag, {374, 444, 386, 458}, 19991, 3},
    {CPresetSystemEditor::kStoreMemoATag, {352, 444, 364, 458}, 19995, 3},
    {CPresetSystemEditor::kRecallMemoBTag, {417, 444, 429, 458}, 19992, 3},
    {CPresetSystemEditor::kStoreMemoBTag, {395, 444, 407, 458}, 19996, 3},
};

CRect moved(CRect r, CCoord dy) { return r.offset(0, dy); }

// The name as the preset table keeps it: at most 24 bytes.
std::string presetNameOf(const Preset& preset) {
  char name[kPresetNameSize + 1];
  readPresetName(preset.name, name);
  return name;
}

}  // namespace

bool CPresetSystemEditor::open(void* window) {
  if (frame == nullptr || effect == nullptr) return false;
  AEffGUIEditor::open(window);
  buildPresetBar();
  try {
    // Fired from the frame's idle; the editor's own idle runs in between
    // the host's idle calls (the meters move every 50 ms).
    idleTimer = std::make_unique<CVSTGUITimer>(
        [this](CVSTGUITimer*) {
          if (frame != nullptr)
            if (auto* editor = dynamic_cast<AEffEditor*>(frame->getEditor())) editor->idle();
        },
        kIdlePeriodMs);
    idleTimer->start();
  } catch (...) {
    // Without the timer the host's own idle calls still drive the editor.
  }
  return true;
}

void CPresetSystemEditor::close() {
  idleTimer.reset();
  forgetPresetBar();
  AEffGUIEditor::close();
}

void CPresetSystemEditor::forgetPresetBar() {
  nameField = nullptr;
  presetMenu = nullptr;
  presetRocker = nullptr;
  loadBankButton = saveBankButton = loadPresetButton = savePresetButton = nullptr;
  defaultBankButton = defaultPresetButton = nullptr;
  recallMemoAButton = storeMemoAButton = recallMemoBButton = storeMemoBButton = nullptr;
}

void CPresetSystemEditor::buildPresetBar() {
  CPresetSystemEffect* fx = presetEffect();
  const Preset* table = fx->presetTable();
  const int32_t current = fx->getPresetIndex();
  const std::string currentName = table ? presetNameOf(table[current]) : std::string();
  const CCoord dy = presetBarTop - 444;

  // A bitmap that does not load leaves its control out; the others are built.
  auto bitmap = [](int32_t id) -> CBitmap* {
    auto* b = new CBitmap(id);
    if (b->isLoaded()) return b;
    b->forget();
    return nullptr;
  };

  CBitmap* barBack = bitmap(kBarBitmap);
  {
    // Its height follows the font: centred on the bar, half the size plus 2 above and below.
    const CCoord m = kNormalFontSmall->getSize() / 2 + 2;
    const CCoord centre = 451 + dy;
    nameField = new CTextEdit(CRect(175, centre - m, 292, centre + m), this, kNameTag, currentName.c_str(), barBack, 0);
    nameField->setBackOffset(nameField->getViewSize().getTopLeft());
    nameField->setBackColor(kNameBackColor);
    nameField->setFont(kNormalFontSmall);
    nameField->setFontColor(kNameTextColor);
    nameField->setFrameColor(kNameTextColor);
    nameField->setHoriAlign(kCenterText);
    frame->addView(nameField);
  }
  {
    const CRect r = moved(CRect(293, 444, 305, 458), dy);
    presetMenu = new COptionMenu(r, this, kMenuTag, barBack, nullptr, kMenuStyle);
    presetMenu->setBackOffset(r.getTopLeft());
    presetMenu->setNbItemsPerColumn(kMenuItemsPerColumn);
    for (int k = 0; k < kNumPresets; ++k) presetMenu->addEntry(table ? presetNameOf(table[k]).c_str() : "");
    presetMenu->setCurrent(current);
    frame->addView(presetMenu);
  }
  if (barBack) barBack->forget();

  auto imageHeight = [](const CBitmap* b, int32_t images) { return std::floor(b->getHeight() / images); };
  if (CBitmap* b = bitmap(kRockerPlace.bitmap)) {
    presetRocker = new CPSRockerSwitch(moved(kRockerPlace.rect, dy), this, kRockerTag,
                                       imageHeight(b, kRockerPlace.images), b, CPoint(0, 0),
                                       CRockerSwitch::kHorizontal);
    frame->addView(presetRocker);
    b->forget();
  }
  for (const ButtonPlace& place : kButtonPlaces) {
    CBitmap* b = bitmap(place.bitmap);
    if (!b) continue;
    const CRect r = moved(place.rect, dy);
    const CCoord h = imageHeight(b, place.images);
    CControl* control = nullptr;
    switch (place.tag) {
      case kLoadBankTag: control = loadBankButton = new CSaveLoadButton(r, this, place.tag, h, b); break;
      case kSaveBankTag: control = saveBankButton = new CSaveLoadButton(r, this, place.tag, h, b); break;
      case kLoadPresetTag: control = loadPresetButton = new CSaveLoadButton(r, this, place.tag, h, b); break;
      case kSavePresetTag: control = savePresetButton = new CSaveLoadButton(r, this, place.tag, h, b); break;
      case kDefaultBankTag:
        control = defaultBankButton = new CPSKickButton(r, this, place.tag, h, b, CPoint(0, 0), true);
        break;
      case kDefaultPresetTag:
        control = defaultPresetButton = new CPSKickButton(r, this, place.tag, h, b, CPoint(0, 0), true);
        break;
      case kRecallMemoATag: control = recallMemoAButton = new CPSKickButton(r, this, place.tag, h, b); break;
      case kStoreMemoATag: control = storeMemoAButton = new CPSKickButton(r, this, place.tag, h, b); break;
      case kRecallMemoBTag: control = recallMemoBButton = new CPSKickButton(r, this, place.tag, h, b); break;
      case kStoreMemoBTag: control = storeMemoBButton = new CPSKickButton(r, this, place.tag, h, b); break;
      default: break;
    }
    if (control) frame->addView(control);
    b->forget();
  }
}

void CPresetSystemEditor::idle() {
  CPresetSystemEffect* fx = presetEffect();
  const Preset* table = fx ? fx->presetTable() : nullptr;
  if (table && presetMenu && nameField && !nameField->isEditing()) {
    const int32_t index = fx->getPresetIndex();
    if (presetMenu->getCurrentIndex() != index || presetNameOf(table[index]) != nameField->getText())
      showPresetNames();
  }
  AEffGUIEditor::idle();
}

void CPresetSystemEditor::presetNameChanged(const char* name) {
  if (nameField) nameField->setText(name);
  CPresetSystemEffect* fx = presetEffect();
  if (presetMenu && fx) {
    presetMenu->setCurrent(fx->getPresetIndex());
    if (CMenuItem* item = presetMenu->getCurrent()) item->setTitle(name);
    presetMenu->setDirty(true);
  }
}

void CPresetSystemEditor::showPresetNames() {
  CPresetSystemEffect* fx = presetEffect();
  const Preset* table = fx ? fx->presetTable() : nullptr;
  if (!table) return;
  if (presetMenu) {
    for (int k = 0; k < kNumPresets; ++k)
      if (CMenuItem* item = presetMenu->getEntry(k)) item->setTitle(presetNameOf(table[k]).c_str());
    presetMenu->setCurrent(fx->getPresetIndex());
    presetMenu->setDirty(true);
  }
  if (nameField) nameField->setText(presetNameOf(table[fx->getPresetIndex()]).c_str());
}

void CPresetSystemEditor::valueChanged(CControl* control) {
  CPresetSystemEffect* fx = presetEffect();
  if (control == nullptr || fx == nullptr) return;
  const float value = control->getValue();
  Preset* table = fx->presetTable();
  const int32_t index = fx->getPresetIndex();
  switch (control->getTag()) {
    case kNameTag: {
      auto* field = dynamic_cast<CTextEdit*>(control);
      if (!field) return;
      // Cut to what a preset name holds, without splitting a character.
      std::string name = field->getText();
      if (name.size() > static_cast<size_t>(kPresetNameSize)) {
        size_t cut = kPresetNameSize;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80) --cut;
        name.resize(cut);
      }
      field->setText(name.c_str());
      if (presetMenu) {
        presetMenu->setCurrent(index);
        if (CMenuItem* item = presetMenu->getCurrent()) item->setTitle(name.c_str());
      }
      fx->renamePreset(name.c_str());
      break;
    }
    case kRockerTag: {
      if (value == 0.0f || !table) return;
      const int32_t next = value > 0.0f ? std::min(index + 1, kNumPresets - 1) : std::max(index - 1, 0);
      if (presetMenu) presetMenu->setCurrent(next);
      const std::string name = presetNameOf(table[next]);
      if (nameField) nameField->setText(name.c_str());
      fx->selectPreset(next);
      fx->renamePreset(name.c_str());
      break;
    }
    case kLoadBankTag: loadBankFile(value == 0.5f); break;
    case kSaveBankTag: saveBankFile(); break;
    case kLoadPresetTag: loadPresetFile(value == 0.5f); break;
    case kSavePresetTag: savePresetFile(); break;
    case kMenuTag: {
      auto* menu = dynamic_cast<COptionMenu*>(control);
      if (!menu) return;
      const float chosen = value + 0.5f;
      if (!(chosen >= 0.0f && chosen < kNumPresets)) return;
      const auto next = static_cast<int32_t>(chosen);
      menu->setCurrent(next);
      CMenuItem* item = menu->getEntry(next);
      const std::string title = item ? item->getTitle() : "";
      fx->selectPreset(next);
      fx->renamePreset(title.c_str());
      if (nameField) nameField->setText(title.c_str());
      break;
    }
    case kDefaultBankTag:
      if (value < 0.75f) clearDefaultBank();
      else storeDefaultBank();
      break;
    case kDefaultPresetTag:
      if (value < 0.75f) clearDefaultPreset();
      else storeDefaultPreset();
      break;
    case kStoreMemoATag: storeMemo(Memo::A); break;
    case kStoreMemoBTag: storeMemo(Memo::B); break;
    case kRecallMemoATag: recallMemo(Memo::A); break;
    case kRecallMemoBTag: recallMemo(Memo::B); break;
    default: break;
  }
}

}  // namespace orv
