// Preset and bank files the user picks in a dialog: what the dialog is asked,
// what is read and written, and which picks change nothing.
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry.h"
#include "preset_support.h"

namespace presets_test {
namespace {

using FileTest = PresetSystemTest;

void pick(const std::string& path) { script() = {false, {path}}; }

// Bits of preset `slot`'s values as the test records hold them, each
// byte-reversed when `reversed`.
void expectValues(const Preset& p, int slot, bool reversed) {
  for (int i = 0; i < orv::kNumPresetParams; ++i) {
    const uint32_t bits = bitsOf(distinctValue(slot, i));
    EXPECT_EQ(bitsOf(p.values[i]), reversed ? __builtin_bswap32(bits) : bits) << "value " << i;
  }
}

// The engine runs the current preset: every value went through setParameter.
void expectRunning(orv::Valdris& v) {
  const Preset& p = v.presetTable()[v.getPresetIndex()];
  for (int i = 1; i < orv::kNumPresetParams; ++i) EXPECT_EQ(bitsOf(v.getParameter(i)), bitsOf(p.values[i])) << i;
}

TEST_F(FileTest, ByteOrderOfPresetAndBankFiles) {
  struct Case {
    const char* what;
    bool bigEndianFile, reversedLoad, valuesReversed;
  };
  const Case cases[] = {
      {"native file", false, false, false},
      {"big-endian file", true, false, false},
      {"big-endian file, endian-reversed load: left unconverted", true, true, true},
      {"native file, endian-reversed load: every value reversed", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogsSeen().clear();
    orv::Valdris v(host);
    FramedEditor* editor = attachFramedEditor(v);
    v.selectPreset(2);
    writeBytes(file("p.orv"), presetRecord(kValdrisId, "From a file", c.bigEndianFile));
    pick(file("p.orv"));
    editor->loadPresetFile(c.reversedLoad);
    ASSERT_EQ(dialogsSeen().size(), 1u);
    EXPECT_EQ(dialogsSeen()[0].title, c.reversedLoad ? "Load preset (endian-reversed)" : "Load preset");
    EXPECT_EQ(v.getPresetIndex(), 2);
    EXPECT_EQ(nameOf(v.presetTable()[2]), "From a file");
    expectValues(v.presetTable()[2], 0, c.valuesReversed);
    expectRunning(v);
    char programName[32] = {};
    v.getProgramName(programName);
    EXPECT_STREQ(programName, "From a file");

    writeBytes(file("b.orb"), bankRecord(kValdrisId, c.bigEndianFile));
    pick(file("b.orb"));
    editor->loadBankFile(c.reversedLoad);
    EXPECT_EQ(dialogsSeen().back().title, c.reversedLoad ? "Load bank (endian-reversed)" : "Load bank");
    EXPECT_EQ(v.getPresetIndex(), 0);
    for (int k = 0; k < orv::kNumPresets; ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(nameOf(v.presetTable()[k]), "Bank " + std::to_string(k));
      expectValues(v.presetTable()[k], k, c.valuesReversed);
    }
    expectRunning(v);
  }
}

TEST_F(FileTest, PresetFilesOfAnyLength) {
  const Bytes record = presetRecord(kValdrisId, "Short");
  Bytes longer = record;
  longer.insert(longer.end(), 40, 0xAB);
  struct Case {
    const char* what;
    Bytes contents;
    bool loads;
  };
  const Case cases[] = {
      {"100 bytes: what it holds, zeros after", Bytes(record.begin(), record.begin() + 100), true},
      {"exactly one record", record, true},
      {"a record and more: the rest is not read", longer, true},
      {"empty", {}, false},
      {"not a record", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    orv::Valdris v(host);
    FramedEditor* editor = attachFramedEditor(v);
    v.selectPreset(4);
    const std::vector<Preset> before = tableOf(v);
    writeBytes(file("p.orv"), c.contents);
    pick(file("p.orv"));
    editor->loadPresetFile(false);
    EXPECT_EQ(v.getPresetIndex(), 4);
    if (!c.loads) {
      EXPECT_TRUE(sameTable(tableOf(v), before));
      continue;
    }
    const Preset& p = v.presetTable()[4];
    EXPECT_EQ(nameOf(p), "Short");
    // Values start at byte 29: 100 bytes hold 17 of them and 3 bytes of the next.
    const int whole = c.contents.size() >= 165 ? 34 : 17;
    for (int i = 0; i < whole; ++i) EXPECT_EQ(p.values[i], distinctValue(0, i)) << i;
    if (whole == 17) {
      EXPECT_EQ(bitsOf(p.values[17]), bitsOf(distinctValue(0, 17)) & 0x00FFFFFFu);
      for (int i = 18; i < 34; ++i) EXPECT_EQ(bitsOf(p.values[i]), 0u) << i;
    }
    expectRunning(v);
  }
  // A picked file that does not exist reads as nothing.
  orv::Valdris v(host);
  FramedEditor* editor = attachFramedEditor(v);
  const std::vector<Preset> before = tableOf(v);
  pick(file("absent.orv"));
  editor->loadPresetFile(false);
  EXPECT_TRUE(sameTable(tableOf(v), before));
}

TEST_F(FileTest, BankOfTheOtherProductSelectsPresetZeroAndChangesNothingElse) {
  {
    orv::Nimlet n(host);
    pick(file("nimlet.orb"));
    attachFramedEditor(n)->saveBankFile();
  }
  const Bytes written = readBytes(file("nimlet.orb"));
  ASSERT_EQ(written.size(), 2565u);
  EXPECT_EQ(std::string(written.begin(), written.begin() + 5), "m4kZ7");

  orv::Valdris v(host);
  FramedEditor* editor = attachFramedEditor(v);
  v.selectPreset(5);
  const std::vector<Preset> before = tableOf(v);
  editor->loadBankFile(false);
  EXPECT_EQ(v.getPresetIndex(), 0);
  EXPECT_TRUE(sameTable(tableOf(v), before));
  expectRunning(v);
}

struct FileKind {
  const char* what;
  void (CPresetSystemEditor::*save)();
  void (CPresetSystemEditor::*load)(bool);
  const char* (CPresetSystemEditor::*rememberedName)() const;
  const char* saveTitle;
  const char* loadTitle;
  const char* description;
  const char* extension;
  size_t size;
};
const FileKind kKinds[] = {
    {"preset", &CPresetSystemEditor::savePresetFile, &CPresetSystemEditor::loadPresetFile,
     &CPresetSystemEditor::getPresetFileName, "Save preset", "Load preset", "Orv Preset", "orv", 165},
    {"bank", &CPresetSystemEditor::saveBankFile, &CPresetSystemEditor::loadBankFile,
     &CPresetSystemEditor::getBankFileName, "Save bank", "Load bank", "Orv Bank", "orb", 2565},
};

TEST_F(FileTest, SaveAndLoadThroughTheDialog) {
  const fs::path workingDirectory = fs::current_path();
  for (const FileKind& kind : kKinds) {
    SCOPED_TRACE(kind.what);
    dialogsSeen().clear();
    orv::Valdris v(host);
    FramedEditor* editor = attachFramedEditor(v);
    v.selectPreset(1);
    v.setParameter(5, 0.3f);
    std::string name = "Mine";
    v.setProgramName(name.data());
    const std::string saved = file(std::string("mine.") + kind.extension);
    const std::string rememberedDirectory = editor->getPresetDirectory();

    pick(saved);
    (editor->*kind.save)();
    ASSERT_EQ(dialogsSeen().size(), 1u);
    const DialogSeen& save = dialogsSeen()[0];
    EXPECT_EQ(save.style, CNewFileSelector::kSelectSaveFile);
    EXPECT_EQ(save.title, kind.saveTitle);
    EXPECT_EQ(save.initialDirectory, rememberedDirectory);
    EXPECT_EQ(save.defaultSaveName, "") << "no file of this kind picked yet";
    EXPECT_EQ(save.defaultExtension.description, kind.description);
    EXPECT_EQ(save.defaultExtension.extension, kind.extension);

    const Bytes bytes = readBytes(saved);
    ASSERT_EQ(bytes.size(), kind.size);
    if (kind.size == 165) {
      orv::PresetRecord expected{};
      editor->writePreset(expected);
      EXPECT_EQ(bytes, Bytes(expected.begin(), expected.end()));
    } else {
      orv::BankRecord expected{};
      editor->writeBank(expected);
      EXPECT_EQ(bytes, Bytes(expected.begin(), expected.end()));
    }
    EXPECT_EQ(editor->getPresetDirectory(), files_.string() + "/");
    EXPECT_EQ((editor->*kind.rememberedName)(), std::string("mine.") + kind.extension);
    EXPECT_EQ(fs::current_path(), workingDirectory) << "the host's working directory is not ours to change";

    // Edited after saving; loading brings the saved state back.
    v.setParameter(5, 0.9f);
    name = "Edited";
    v.setProgramName(name.data());
    (editor->*kind.load)(false);
    ASSERT_EQ(dialogsSeen().size(), 2u);
    const DialogSeen& load = dialogsSeen()[1];
    EXPECT_EQ(load.style, CNewFileSelector::kSelectFile);
    EXPECT_EQ(load.title, kind.loadTitle);
    EXPECT_EQ(load.initialDirectory, files_.string() + "/");
    ASSERT_EQ(load.extensions.size(), 1u);
    EXPECT_EQ(load.extensions[0].description, kind.description);
    EXPECT_EQ(load.extensions[0].extension, kind.extension);
    EXPECT_FALSE(load.multiple);
    EXPECT_EQ(v.getPresetIndex(), kind.size == 165 ? 1 : 0);
    EXPECT_EQ(nameOf(v.presetTable()[1]), "Mine");
    EXPECT_EQ(v.presetTable()[1].values[5], 0.3f);
    EXPECT_EQ(fs::current_path(), workingDirectory);

    // The next save offers the remembered name.
    (editor->*kind.save)();
    EXPECT_EQ(dialogsSeen().back().defaultSaveName, std::string("mine.") + kind.extension);
  }
}

// Loads as a user who may only read the file; root reads and writes
// anything, so the check gives up root's file permissions meanwhile.
class ReadOnlyUser {
 public:
  ReadOnlyUser() {
    if (geteuid() == 0) setfsuid(65534);
  }
  ~ReadOnlyUser() {
    if (geteuid() == 0) setfsuid(0);
  }
};

TEST_F(FileTest, ReadOnlyFileLoads) {
  orv::Valdris v(host);
  FramedEditor* editor = attachFramedEditor(v);
  const fs::path path = file("locked.orv");
  writeBytes(path, presetRecord(kValdrisId, "Locked"));
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  for (const fs::path& dir : {home_.path(), files_}) ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  pick(path);
  {
    ReadOnlyUser user;
    const int writable = ::open(path.c_str(), O_RDWR);
    if (writable >= 0) close(writable);
    ASSERT_EQ(writable, -1) << "the file must be read-only for this user";
    editor->loadPresetFile(false);
  }
  EXPECT_EQ(nameOf(v.presetTable()[0]), "Locked");
  expectValues(v.presetTable()[0], 0, false);
}

TEST_F(FileTest, DialogsThatPickNoSingleFileChangeNothing) {
  struct Case {
    const char* what;
    DialogScript answer;
    bool framed;
  };
  const Case cases[] = {
      {"cancelled", {true, {}}, true},
      {"two files", {false, {"/tmp/a.orv", "/tmp/b.orv"}}, true},
      {"no window open: no dialog", {false, {"/tmp/a.orv"}}, false},
  };
  for (const FileKind& kind : kKinds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kind.what) + ", " + c.what);
      dialogsSeen().clear();
      orv::Valdris v(host);
      CPresetSystemEditor* editor = c.framed ? attachFramedEditor(v) : editorOf(v);
      pick(file(std::string("first.") + kind.extension));
      if (c.framed) (editor->*kind.save)();
      const std::string directory = editor->getPresetDirectory(), remembered = (editor->*kind.rememberedName)();
      fs::remove_all(files_);
      fs::create_directories(files_);
      writeBytes(file("a.orv"), presetRecord(kValdrisId, "Not me"));
      writeBytes(file("a.orb"), bankRecord(kValdrisId));
      v.selectPreset(3);
      const std::vector<Preset> before = tableOf(v);

      script() = c.answer;
      (editor->*kind.save)();
      (editor->*kind.load)(false);
      EXPECT_EQ(dialogsSeen().size(), c.framed ? 3u : 0u);
      EXPECT_TRUE(sameTable(tableOf(v), before));
      EXPECT_EQ(v.getPresetIndex(), 3);
      EXPECT_EQ(editor->getPresetDirectory(), directory);
      EXPECT_EQ((editor->*kind.rememberedName)(), remembered);
      EXPECT_EQ(std::distance(fs::directory_iterator(files_), fs::directory_iterator()), 2) << "nothing written";
    }
  }
}

// A folder under `base` whose path, with its final "/", is `length` bytes.
fs::path folderOfLength(const fs::path& base, size_t length) {
  std::string path = base.string();
  for (size_t room = length - 1 - path.size(); room > 0;) {
    // "/" and up to 200 bytes at a time, never leaving room for just a "/".
    size_t part = std::min<size_t>(room - 1, 200);
    if (room - (part + 1) == 1) --part;
    path += "/" + std::string(part, 'd');
    room -= part + 1;
  }
  fs::create_directories(path);
  return path;
}

TEST_F(FileTest, PathsTooLongToRememberAreRefused) {
  struct Case {
    const char* what;
    size_t folderLength, nameLength;
    bool accepted;
  };
  const Case cases[] = {
      {"folder of 256 bytes", 256, 5, true},
      {"folder of 257 bytes", 257, 5, false},
      {"name of 256 bytes", 0, 256, true},
      {"name of 257 bytes", 0, 257, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    orv::Valdris v(host);
    FramedEditor* editor = attachFramedEditor(v);
    pick(file("first.orv"));
    editor->savePresetFile();
    ASSERT_EQ(editor->getPresetDirectory(), files_.string() + "/");

    const fs::path folder = c.folderLength > 0 ? folderOfLength(files_, c.folderLength) : files_;
    ASSERT_EQ(folder.string().size() + 1, c.folderLength > 0 ? c.folderLength : files_.string().size() + 1);
    const std::string name = std::string(c.nameLength - 4, 'n') + ".orv";
    const std::string path = folder.string() + "/" + name;
    // A file name of 256 bytes is longer than this file system allows:
    // only what is remembered can be checked then.
    const bool fileCanExist = name.size() <= 255;
    if (fileCanExist) writeBytes(path, presetRecord(kValdrisId, "Far away"));

    pick(path);
    editor->loadPresetFile(false);
    if (c.accepted) {
      EXPECT_EQ(editor->getPresetDirectory(), folder.string() + "/");
      EXPECT_EQ(editor->getPresetFileName(), name);
      if (fileCanExist) {
        EXPECT_EQ(nameOf(v.presetTable()[0]), "Far away");
      }
    } else {
      EXPECT_EQ(editor->getPresetDirectory(), files_.string() + "/");
      EXPECT_EQ(editor->getPresetFileName(), std::string("first.orv"));
      EXPECT_NE(nameOf(v.presetTable()[0]), "Far away");
      if (fileCanExist) {
        fs::remove(path);
        editor->savePresetFile();
        EXPECT_FALSE(fs::exists(path)) << "a refused pick is not written either";
      }
    }
  }
}

TEST_F(FileTest, RememberedPathsReachTheNextInstance) {
  // Any bytes but "/" may name a folder: accents, and a byte that is no UTF-8.
  const fs::path folder = files_ / "Pr\xC3\xA9sets \xFF";
  fs::create_directories(folder);
  {
    orv::Valdris v(host);
    FramedEditor* editor = attachFramedEditor(v);
    pick((folder / "mix.orb").string());
    editor->saveBankFile();
    pick((folder / "voice.orv").string());
    editor->savePresetFile();
  }
  // Stored as UTF-16 strings with their terminator.
  const auto key = orv::platform::RegistryKey::open(orv::kPresetSystemKey);
  ASSERT_TRUE(key);
  char16_t units[16] = {};
  uint32_t size = sizeof units;
  ASSERT_TRUE(key.query("CurrBank", orv::platform::RegType::string, units, size));
  EXPECT_EQ(std::u16string(units, size / 2), std::u16string(u"mix.orb\0", 8));

  orv::Valdris next(host);
  EXPECT_EQ(editorOf(next)->getPresetDirectory(), folder.string() + "/");
  EXPECT_STREQ(editorOf(next)->getBankFileName(), "mix.orb");
  EXPECT_STREQ(editorOf(next)->getPresetFileName(), "voice.orv");
}

}  // namespace
}  // namespace presets_test
