// The editor side of the preset system: moves presets between the effect's
// table and preset or bank files the user picks, the default preset and bank
// and the two memories kept in the registry, and remembers the folder and
// file names used last. Every product's editor derives from it: its `open`
// creates the frame and its own controls, then this class's `open` adds the
// preset bar along the lower edge and starts the 50 ms idle timer. Failures
// are silent: a file or registry value that cannot be used changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gui/vstgui.h"
#include "host/audio_effect.h"
#include "presets/preset_records.h"
#include "presets/preset_system_effect.h"

namespace orv {

// Shared by both products and every instance of the current user.
inline constexpr const char* kPresetSystemKey = "SOFTWARE\\Orv-acoustics\\Orv_Valdris";

class CPSKickButton;
class CPSRockerSwitch;
class CSaveLoadButton;

class CPresetSystemEditor : public AEffGUIEditor, public CControlListener {
 public:
  // Longest folder or file name remembered; longer picks are refused.
  static constexpr size_t kMaxPathLength = 256;
  static constexpr uint32_t kIdlePeriodMs = 50;
  // Tags of the preset bar's controls.
  enum Tag : int32_t {
    kNameTag = 59, kRockerTag = 60, kLoadBankTag = 61, kSaveBankTag = 62, kLoadPresetTag = 63,
    kSavePresetTag = 64, kMenuTag = 71, kDefaultBankTag = 72, kDefaultPresetTag = 73, kStoreMemoATag = 74,
    kStoreMemoBTag = 75, kRecallMemoATag = 76, kRecallMemoBTag = 77,
  };

  enum class Memo { A, B };

  // Attaches itself to `effect`, which owns it from then on. The host is not
  // told of an editor window: a product's editor that has one says so.
  explicit CPresetSystemEditor(CPresetSystemEffect* effect);
  // Writes the remembered paths.
  ~CPresetSystemEditor() override;

  // No size, no window: false until a product's editor sets its rectangle.
  bool getRect(vst::ERect** rect) override;
  // Adds the preset bar to the frame the product's `open` created and starts
  // the idle timer; false, adding nothing, without a frame.
  bool open(void* window) override;
  // Stops the timer and forgets the bar's controls; the product closes the
  // frame, which deletes them.
  void close() override;
  // Brings the bar in step with a preset the host selected or renamed (a
  // project loaded while the window is open), then idles the frame.
  void idle() override;
  void programNameChanged(const char* name) override { presetNameChanged(name); }
  // Default bank, then default preset, then the remembered paths, from the
  // registry; runs while the product is being constructed.
  void loadDefaults() override;
  // The preset bar's tags; every other tag is the product's.
  void valueChanged(CControl* control) override;

  // The current preset was renamed: the name field and the menu show it.
  virtual void presetNameChanged(const char* name);
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

  // The bar's controls while the editor is open, null otherwise.
  CTextEdit* getNameField() const { return nameField; }
  COptionMenu* getPresetMenu() const { return presetMenu; }
  CPSRockerSwitch* getPresetRocker() const { return presetRocker; }
  bool isIdleTimerRunning() const { return idleTimer && idleTimer->isRunning(); }

 protected:
  // The frame of the open editor window, which file dialogs belong to; null
  // while no window is open, and no dialog is shown then.
  virtual CFrame* openFrame() { return frame; }
  // Whether the host may open the editor window; the product's editor turns
  // it on once it can show one.
  void offerEditorWindow(bool offered);
  // Top of the bar's controls in the frame: 444 below pages of 444 rows.
  CCoord presetBarTop = 444;

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
  void buildPresetBar();
  // The menu's titles and the field follow the table after a bank load.
  void showPresetNames();
  void forgetPresetBar();

  CTextEdit* nameField = nullptr;
  COptionMenu* presetMenu = nullptr;
  CPSRockerSwitch* presetRocker = nullptr;
  CSaveLoadButton* loadBankButton = nullptr;
  CSaveLoadButton* saveBankButton = nullptr;
  CPSKickButton* defaultBankButton = nullptr;
  CSaveLoadButton* loadPresetButton = nullptr;
  CSaveLoadButton* savePresetButton = nullptr;
  CPSKickButton* defaultPresetButton = nullptr;
  CPSKickButton* recallMemoAButton = nullptr;
  CPSKickButton* storeMemoAButton = nullptr;
  CPSKickButton* recallMemoBButton = nullptr;
  CPSKickButton* storeMemoBButton = nullptr;
  std::unique_ptr<CVSTGUITimer> idleTimer;

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
