// The editor side of the preset system: moves presets between the effect's
// table and preset or bank files the user picks, the default preset and bank
// and the two memories kept in the registry, and remembers the folder and
// file names used last. Every product's editor derives from it; the preset
// bar calls these operations. Failures are silent: a file or registry value
// that cannot be used changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gui/file_selector.h"
#include "host/audio_effect.h"
#include "presets/preset_records.h"
#include "presets/preset_system_effect.h"

namespace orv {

// Shared by both products and every instance of the current user.
inline constexpr const char* kPresetSystemKey = "SOFTWARE\\Orv-acoustics\\Orv_Valdris";

class CPresetSystemEditor : public AEffEditor {
 public:
  // Longest folder or file name remembered; longer picks are refused.
  static constexpr size_t kMaxPathLength = 256;

  enum class Memo { A, B };

  // Attaches itself to `effect`, which owns it from then on.
  explicit CPresetSystemEditor(CPresetSystemEffect* effect);
  // Writes the remembered paths.
  ~CPresetSystemEditor() override;

  // Fails without a frame: there is nothing to show the editor in.
  bool open(void* window) override;
  void programNameChanged(const char* name) override { presetNameChanged(name); }
  // Default bank, then default preset, then the remembered paths, from the
  // registry; runs while the product is being constructed.
  void loadDefaults() override;

  virtual void presetNameChanged(const char* /*name*/) {}
  // Load a record into the current preset (or all 16), values byte-reversed
  // once more when `reversed`; a record of another product is ignored.
  virtual void readPreset(const PresetRecord& record, bool reversed);
  virtual void writePreset(PresetRecord& record);
  virtual void readBank(const BankRecord& record, bool reversed);
  virtual void writeBank(BankRecord& record);

  // The preset bar's commands. Virtual so that whoever holds the editor
  // through the effect record (a test of the built module) runs the
  // module's own code.
  virtual void loadPresetFile(bool reversed);
  virtual void savePresetFile();
  virtual void loadBankFile(bool reversed);
  virtual void saveBankFile();
  virtual void storeDefaultPreset();
  virtual void clearDefaultPreset();
  virtual void storeDefaultBank();
  virtual void clearDefaultBank();
  virtual void storeMemo(Memo memo);
  virtual void recallMemo(Memo memo);

  void loadDefaultPreset();
  void loadDefaultBank();
  void loadPaths();
  void savePaths();

  // Folder of the last file picked (ending in a separator) and the names of
  // the last preset and bank files: the next dialog starts from them.
  const char* getPresetDirectory() const { return presetDirectory; }
  const char* getPresetFileName() const { return presetFileName; }
  const char* getBankFileName() const { return bankFileName; }

 protected:
  // The frame of the open editor window, which file dialogs belong to; null
  // while no window is open, and no dialog is shown then.
  virtual CFrame* openFrame() { return nullptr; }

  CPresetSystemEffect* presetEffect() const { return static_cast<CPresetSystemEffect*>(effect); }

 private:
  struct FileKind;  // what differs between preset and bank files
  static const FileKind presetFiles, bankFiles;

  void loadFile(const FileKind& kind, bool reversed);
  void saveFile(const FileKind& kind);
  // Splits a picked path into the remembered folder and `fileName`; refuses
  // (changing nothing) a path with no folder or a part too long to remember.
  bool rememberPick(const char* path, char* fileName);
  void storeRecord(const char* valueName, const uint8_t* data, size_t size);
  bool queryRecord(const char* valueName, uint8_t* data, size_t size);

  char presetDirectory[kMaxPathLength + 1] = {};
  char bankFileName[kMaxPathLength + 1] = {};
  char presetFileName[kMaxPathLength + 1] = {};
  // What the registry held for each of them when they were loaded: only a
  // path that changed since is written back.
  char storedDirectory[kMaxPathLength + 1] = {};
  char storedBankName[kMaxPathLength + 1] = {};
  char storedPresetName[kMaxPathLength + 1] = {};
};

}  // namespace orv
