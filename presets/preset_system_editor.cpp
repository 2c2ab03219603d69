#include "presets/preset_system_editor.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/path_text.h"
#include "platform/registry.h"

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

CPresetSystemEditor::CPresetSystemEditor(CPresetSystemEffect* effect) : AEffEditor(effect) {
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
  if (effect != nullptr) effect->attachEditor(this);
}

CPresetSystemEditor::~CPresetSystemEditor() { savePaths(); }

bool CPresetSystemEditor::open(void* window) {
  if (openFrame() == nullptr || effect == nullptr) return false;
  return AEffEditor::open(window);
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
  char name[kPresetNameSize + 1];
  readPresetName(table[0].name, name);
  presetNameChanged(name);
  fx->selectPreset(0);
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
  CFrame* frame = openFrame();
  if (frame == nullptr || presetEffect() == nullptr) return;
  std::string path;
  try {
    std::unique_ptr<CNewFileSelector> selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectFile);
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
}

void CPresetSystemEditor::saveFile(const FileKind& kind) {
  CFrame* frame = openFrame();
  if (frame == nullptr || presetEffect() == nullptr) return;
  char* fileName = kind.bank ? bankFileName : presetFileName;
  std::string path;
  try {
    std::unique_ptr<CNewFileSelector> selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectSaveFile);
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
