#include "platform/registry.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace orv::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr std::string_view kMeterKey = "SOFTWARE\\Orv-acoustics\\Kolvane20";
constexpr std::string_view kPresetKey = "SOFTWARE\\Orv-acoustics\\Orv_Valdris";

Bytes pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed);
  return b;
}

// UTF-16LE with its terminator, as string values are stored.
Bytes utf16(std::string_view ascii) {
  Bytes b;
  for (const char c : ascii) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(0);
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

std::optional<Bytes> valueOf(const RegistryKey& key, std::string_view name, RegType type, uint32_t capacity = 4096) {
  Bytes b(capacity);
  uint32_t size = capacity;
  if (!key.query(name, type, b.data(), size)) return std::nullopt;
  b.resize(size);
  return b;
}

Bytes fileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::vector<fs::path> filesUnder(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_directory()) out.push_back(e.path());
  }
  return out;
}

// Every test gets its own empty user folders; the previous environment comes
// back afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saveEnv("XDG_CONFIG_HOME", savedXdg_);
    saveEnv("HOME", savedHome_);
    std::string tmpl = (fs::temp_directory_path() / "orv-registry-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    tmp_ = tmpl;
    home_ = tmp_ / "home";
    config_ = tmp_ / "config";
    fs::create_directories(home_);
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    setenv("HOME", home_.c_str(), 1);
  }

  void TearDown() override {
    restoreEnv("XDG_CONFIG_HOME", savedXdg_);
    restoreEnv("HOME", savedHome_);
    std::error_code ec;
    if (!tmp_.empty()) fs::remove_all(tmp_, ec);
  }

  fs::path root() const { return config_ / "Orv-acoustics" / "registry" / "HKEY_CURRENT_USER"; }
  fs::path meterFolder() const { return root() / "SOFTWARE" / "Orv-acoustics" / "Kolvane20"; }

  fs::path tmp_, home_, config_;

 private:
  static void saveEnv(const char* name, std::optional<std::string>& slot) {
    const char* v = std::getenv(name);
    slot = v != nullptr ? std::optional<std::string>(v) : std::nullopt;
  }
  static void restoreEnv(const char* name, const std::optional<std::string>& slot) {
    if (slot) {
      setenv(name, slot->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::optional<std::string> savedXdg_, savedHome_;
};

struct RoundTripCase {
  const char* label;
  std::string_view key;
  const char* name;
  RegType type;
  Bytes data;
};

TEST_F(RegistryTest, ValuesRoundTripThroughAFreshOpen) {
  float vuReference = 0.41f;
  Bytes floatBytes(4);
  std::memcpy(floatBytes.data(), &vuReference, 4);
  const RoundTripCase cases[] = {
      {"meter float", kMeterKey, "vureference", RegType::binary, floatBytes},
      {"preset record", kPresetKey, "MemoA", RegType::binary, pattern(165, 1)},
      {"bank record", kPresetKey, "DefaultBank", RegType::binary, pattern(2565, 2)},
      {"path string", kPresetKey, "CurrDir", RegType::string, utf16("/home/someone/presets")},
      {"empty string", kPresetKey, "CurrBank", RegType::string, utf16("")},
      {"zero bytes", kPresetKey, "Nothing", RegType::binary, {}},
      {"unnamed value", kPresetKey, "", RegType::binary, pattern(3, 9)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto writer = RegistryKey::create(c.key);
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer.set(c.name, c.type, c.data.data(), static_cast<uint32_t>(c.data.size())));

    const auto reader = RegistryKey::open(c.key);
    ASSERT_TRUE(reader);
    EXPECT_EQ(valueOf(reader, c.name, c.type, static_cast<uint32_t>(c.data.size())), c.data) << "exact capacity";
    EXPECT_EQ(valueOf(reader, c.name, c.type), c.data) << "larger capacity";
  }
  // Values did not overwrite each other.
  EXPECT_EQ(valueOf(RegistryKey::open(kPresetKey), "MemoA", RegType::binary), pattern(165, 1));
}

// Paths are bytes on POSIX: each one comes back exactly, stored as UTF-16.
TEST_F(RegistryTest, StringValuesKeepPathsByteForByte) {
  struct Case {
    const char* label;
    std::string text;
    std::u16string stored;  // without the terminator
  };
  const Case cases[] = {
      {"ASCII", "/home/someone/presets/", u"/home/someone/presets/"},
      {"empty", "", u""},
      {"accents", "Pr\xC3\xA9sets", u"Pr\u00E9sets"},
      {"beyond the BMP", "\xF0\x9F\x8E\xB9.orv", u"\U0001F3B9.orv"},
      {"bytes that are no UTF-8", "a\xFF\xC3(\xED\xA0\x80", u"a\xDCFF\xDCC3(\xDCED\xDCA0\xDC80"},
      {"256 bytes", std::string(256, 'x'), std::u16string(256, u'x')},
  };
  auto key = RegistryKey::create(kPresetKey);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(key.setString("CurrDir", c.text));
    std::u16string withTerminator = c.stored;
    withTerminator += u'\0';
    const auto raw = valueOf(key, "CurrDir", RegType::string);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(raw->data()), raw->size() / 2), withTerminator);
    std::string back = "untouched";
    ASSERT_TRUE(key.queryString("CurrDir", back, 256));
    EXPECT_EQ(back, c.text);
  }
}

TEST_F(RegistryTest, UnusableStringValuesReadAsMissing) {
  auto key = RegistryKey::create(kPresetKey);
  const auto units = [](std::u16string s) {
    return Bytes(reinterpret_cast<const uint8_t*>(s.data()), reinterpret_cast<const uint8_t*>(s.data() + s.size()));
  };
  struct Case {
    const char* label;
    RegType type;
    Bytes data;
  };
  const Case cases[] = {
      {"binary", RegType::binary, utf16("abc")},
      {"odd size", RegType::string, Bytes{'a', 0, 'b'}},
      {"257 bytes once converted", RegType::string, utf16(std::string(257, 'x'))},
      {"three bytes each", RegType::string, units(std::u16string(100, u'\u20AC') + u'\0')},
      {"lone high surrogate", RegType::string, units(u"a\xD800" u"b")},
      {"surrogate that escapes no byte", RegType::string, units(u"\xDC41")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(key.set("CurrBank", c.type, c.data.data(), static_cast<uint32_t>(c.data.size())));
    std::string text = "untouched";
    EXPECT_FALSE(key.queryString("CurrBank", text, 256));
    EXPECT_EQ(text, "untouched");
  }
  // Written without a terminator, as Windows allows: still read.
  const Bytes bare = units(u"abc");
  ASSERT_TRUE(key.set("CurrBank", RegType::string, bare.data(), static_cast<uint32_t>(bare.size())));
  std::string text;
  EXPECT_TRUE(key.queryString("CurrBank", text, 256));
  EXPECT_EQ(text, "abc");
  EXPECT_FALSE(key.setString("CurrBank", std::string("a\0b", 3))) << "NUL cannot be stored";
}

TEST_F(RegistryTest, LayoutIsARecognisableFolderPerKey) {
  auto key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  const float v = 0.5f;
  ASSERT_TRUE(key.set("vuintegration", RegType::binary, &v, sizeof v));
  EXPECT_TRUE(fs::is_directory(meterFolder()));
  EXPECT_TRUE(fs::is_regular_file(meterFolder() / "vuintegration.value"));
  struct stat st {};
  ASSERT_EQ(stat(meterFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "folders are private to the user";
}

TEST_F(RegistryTest, OverwriteReplacesValueOfAnotherSizeAndType) {
  auto key = RegistryKey::create(kPresetKey);
  const Bytes big = pattern(2565, 3), small = utf16("a");
  ASSERT_TRUE(key.set("CurrPreset", RegType::binary, big.data(), 2565));
  ASSERT_TRUE(key.set("CurrPreset", RegType::string, small.data(), static_cast<uint32_t>(small.size())));
  EXPECT_EQ(valueOf(key, "CurrPreset", RegType::string), small);
  EXPECT_EQ(valueOf(key, "CurrPreset", RegType::binary), std::nullopt);
}

TEST_F(RegistryTest, FailedQueryLeavesBufferAndSizeUntouched) {
  auto key = RegistryKey::create(kPresetKey);
  const Bytes record = pattern(165, 4);
  ASSERT_TRUE(key.set("DefaultPreset", RegType::binary, record.data(), 165));

  struct Case {
    const char* label;
    const char* name;
    RegType type;
    uint32_t capacity;
  };
  const Case cases[] = {
      {"capacity one short", "DefaultPreset", RegType::binary, 164},
      {"capacity zero", "DefaultPreset", RegType::binary, 0},
      {"wrong type", "DefaultPreset", RegType::string, 200},
      {"missing value", "DefaultBank", RegType::binary, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Bytes buffer(200, 0xAA);
    uint32_t size = c.capacity;
    EXPECT_FALSE(key.query(c.name, c.type, buffer.data(), size));
    EXPECT_EQ(size, c.capacity);
    EXPECT_EQ(buffer, Bytes(200, 0xAA));
  }
}

TEST_F(RegistryTest, MissingKeyIsNotCreatedByOpen) {
  EXPECT_FALSE(RegistryKey::open(kMeterKey));
  EXPECT_FALSE(fs::exists(config_)) << "open must not create folders";

  auto created = RegistryKey::create(kMeterKey);
  EXPECT_TRUE(created);
  const auto opened = RegistryKey::open(kMeterKey);
  ASSERT_TRUE(opened);
  EXPECT_EQ(valueOf(opened, "vureference", RegType::binary), std::nullopt);
  // The parent exists now, a sibling still does not.
  EXPECT_TRUE(RegistryKey::open("SOFTWARE\\Orv-acoustics"));
  EXPECT_FALSE(RegistryKey::open(kPresetKey));
}

TEST_F(RegistryTest, InvalidKeyFailsEverything) {
  RegistryKey none;
  EXPECT_FALSE(none);
  uint8_t b[4] = {};
  uint32_t size = 4;
  EXPECT_FALSE(none.query("x", RegType::binary, b, size));
  EXPECT_FALSE(none.set("x", RegType::binary, b, 4));
  EXPECT_FALSE(none.remove("x"));

  auto key = RegistryKey::create(kMeterKey);
  RegistryKey moved = std::move(key);
  EXPECT_TRUE(moved);
  EXPECT_FALSE(key);  // a moved-from key is invalid
  EXPECT_FALSE(key.set("x", RegType::binary, b, 4));
  EXPECT_TRUE(moved.set("x", RegType::binary, b, 4));
}

TEST_F(RegistryTest, RemoveDeletesOnlyExistingValues) {
  auto key = RegistryKey::create(kPresetKey);
  const Bytes a = pattern(165, 5);
  ASSERT_TRUE(key.set("MemoA", RegType::binary, a.data(), 165));
  ASSERT_TRUE(key.set("MemoB", RegType::binary, a.data(), 165));
  EXPECT_TRUE(key.remove("MemoA"));
  EXPECT_EQ(valueOf(key, "MemoA", RegType::binary), std::nullopt);
  EXPECT_EQ(valueOf(key, "MemoB", RegType::binary), a);
  EXPECT_FALSE(key.remove("MemoA"));
  EXPECT_FALSE(key.remove("NeverWritten"));
}

TEST_F(RegistryTest, NullDataOnlyForEmptyValues) {
  auto key = RegistryKey::create(kPresetKey);
  EXPECT_FALSE(key.set("x", RegType::binary, nullptr, 4));
  EXPECT_EQ(valueOf(key, "x", RegType::binary), std::nullopt);
  EXPECT_TRUE(key.set("x", RegType::binary, nullptr, 0));
  uint32_t size = 0;
  EXPECT_TRUE(key.query("x", RegType::binary, nullptr, size));
  EXPECT_EQ(size, 0u);

  const uint8_t four[4] = {1, 2, 3, 4};
  ASSERT_TRUE(key.set("y", RegType::binary, four, 4));
  size = 4;
  EXPECT_FALSE(key.query("y", RegType::binary, nullptr, size));
}

TEST_F(RegistryTest, DamagedValueFileReadsAsMissing) {
  const fs::path file = root() / "SOFTWARE/Orv-acoustics/Orv_Valdris/DefaultPreset.value";
  auto key = RegistryKey::create(kPresetKey);
  const Bytes data = pattern(165, 6);
  ASSERT_TRUE(key.set("DefaultPreset", RegType::binary, data.data(), 165));
  const Bytes good = fileBytes(file);
  ASSERT_GT(good.size(), 165u);
  const size_t header = good.size() - 165;

  auto withByte = [&](size_t at, uint8_t xorMask) {
    Bytes b = good;
    b[at] ^= xorMask;
    return b;
  };
  struct Case {
    const char* label;
    Bytes content;
  };
  const Case cases[] = {
      {"empty file", {}},
      {"half a header", Bytes(good.begin(), good.begin() + static_cast<long>(header / 2))},
      {"header only", Bytes(good.begin(), good.begin() + static_cast<long>(header))},
      {"one data byte short", Bytes(good.begin(), good.end() - 1)},
      {"one byte too many", [&] { Bytes b = good; b.push_back(0); return b; }()},
      {"flipped data bit", withByte(header + 100, 0x10)},
      {"flipped magic", withByte(0, 0x01)},
      {"changed type", withByte(4, 0x01)},
      {"changed size", withByte(8, 0x01)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    writeFile(file, c.content);
    Bytes buffer(4096, 0xAA);
    uint32_t size = 4096;
    EXPECT_FALSE(key.query("DefaultPreset", RegType::binary, buffer.data(), size));
    EXPECT_EQ(buffer, Bytes(4096, 0xAA));
  }
  writeFile(file, good);
  EXPECT_EQ(valueOf(key, "DefaultPreset", RegType::binary), data) << "the damage, not the test, failed the reads";

  fs::remove(file);
  fs::create_directory(file);
  EXPECT_EQ(valueOf(key, "DefaultPreset", RegType::binary), std::nullopt) << "a folder in place of the file";
}

TEST_F(RegistryTest, ConfigFolderFollowsTheEnvironmentAtEachOpen) {
  struct Case {
    const char* label;
    std::optional<std::string> xdg, home;
    std::optional<std::string> expectedBase;  // nullopt: no usable folder
  };
  const std::string h = home_.string(), x = config_.string();
  const Case cases[] = {
      {"xdg set", x, h, x},
      {"xdg with trailing slash", x + "/", h, x},
      {"xdg unset", std::nullopt, h, h + "/.config"},
      {"xdg empty", std::string(), h, h + "/.config"},
      {"xdg relative", std::string("relative/config"), h, h + "/.config"},
      {"neither set", std::nullopt, std::nullopt, std::nullopt},
      {"home empty", std::string(), std::string(), std::nullopt},
      {"home relative", std::nullopt, std::string("home"), std::nullopt},
  };
  const float v = 0.25f;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(config_);
    fs::remove_all(home_ / ".config");
    if (c.xdg) {
      setenv("XDG_CONFIG_HOME", c.xdg->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    if (c.home) {
      setenv("HOME", c.home->c_str(), 1);
    } else {
      unsetenv("HOME");
    }

    auto key = RegistryKey::create(kMeterKey);
    EXPECT_EQ(static_cast<bool>(key), c.expectedBase.has_value());
    EXPECT_EQ(key.set("overcounter", RegType::binary, &v, 4), c.expectedBase.has_value());
    if (c.expectedBase) {
      EXPECT_TRUE(fs::is_regular_file(fs::path(*c.expectedBase) /
                                      "Orv-acoustics/registry/HKEY_CURRENT_USER/SOFTWARE/Orv-acoustics/Kolvane20/overcounter.value"));
    } else {
      EXPECT_FALSE(RegistryKey::open(kMeterKey));
    }
  }
  EXPECT_FALSE(fs::exists(tmp_ / "relative")) << "relative folders are never used";
  EXPECT_FALSE(fs::exists(fs::current_path() / "relative"));

  // A key written under one folder is not seen once the environment points elsewhere.
  setenv("XDG_CONFIG_HOME", x.c_str(), 1);
  setenv("HOME", h.c_str(), 1);
  ASSERT_TRUE(RegistryKey::create(kMeterKey));
  EXPECT_TRUE(RegistryKey::open(kMeterKey));
  setenv("XDG_CONFIG_HOME", (tmp_ / "other").c_str(), 1);
  EXPECT_FALSE(RegistryKey::open(kMeterKey));
}

TEST_F(RegistryTest, MalformedKeyPathsAreRejected) {
  const std::string_view paths[] = {
      "",       "\\",         "SOFTWARE\\",     "\\SOFTWARE",         "SOFTWARE\\\\Orv", ".",
      "..",     "SOFTWARE\\.", "SOFTWARE\\..", "..\\..\\..\\escaped", "SOFTWARE\\..\\..\\..\\..\\escaped",
  };
  for (const auto path : paths) {
    SCOPED_TRACE(std::string(path));
    EXPECT_FALSE(RegistryKey::create(path));
    EXPECT_FALSE(RegistryKey::open(path));
  }
  EXPECT_FALSE(fs::exists(config_)) << "nothing was created";
}

// Key components and value names are free text on Windows; whatever they
// hold, they must land as one folder level / one file inside the key folder.
TEST_F(RegistryTest, HostileNamesStayInsideTheirFolder) {
  using namespace std::string_literals;
  const std::string keyPaths[] = {
      "../../escaped", "/etc", "a/../../../b", "...", ".hidden", "x.value", "nul\0byte"s, "Space and %41",
  };
  for (const auto& path : keyPaths) {
    SCOPED_TRACE(path);
    auto key = RegistryKey::create("SOFTWARE\\" + path);
    ASSERT_TRUE(key);
    const uint8_t b = 1;
    EXPECT_TRUE(key.set("v", RegType::binary, &b, 1));
  }
  // One folder per component: each key folder is a direct child of SOFTWARE.
  size_t folders = 0;
  for (const auto& e : fs::directory_iterator(root() / "SOFTWARE")) {
    EXPECT_TRUE(e.is_directory());
    EXPECT_TRUE(fs::is_regular_file(e.path() / "v.value")) << e.path();
    ++folders;
  }
  EXPECT_EQ(folders, std::size(keyPaths));

  const std::string names[] = {
      "../../../../escaped", "/etc/passwd", "..", ".", "a/b", "\\", "nul\0byte"s, ".tmp-XXXXXX", "x.value",
      "", "@", "%40", "with space", "ünïcödé", "Name", "name",
  };
  auto key = RegistryKey::create(kPresetKey);
  for (size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(names[i]);
    const Bytes data = pattern(10, static_cast<uint8_t>(i));
    EXPECT_TRUE(key.set(names[i], RegType::binary, data.data(), 10));
  }
  // Distinct names never share a file (names are case-sensitive, too).
  for (size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(valueOf(key, names[i], RegType::binary), pattern(10, static_cast<uint8_t>(i)));
  }
  const fs::path folder = root() / "SOFTWARE/Orv-acoustics/Orv_Valdris";
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    EXPECT_TRUE(e.is_regular_file()) << e.path();
    ++files;
  }
  EXPECT_EQ(files, std::size(names));
  for (const auto& f : filesUnder(tmp_)) {
    const auto rel = fs::relative(f, root());
    EXPECT_FALSE(rel.empty() || *rel.begin() == "..") << f;
  }

  const std::string tooLong(300, 'n');
  const uint8_t b = 1;
  EXPECT_FALSE(key.set(tooLong, RegType::binary, &b, 1));
  EXPECT_FALSE(key.remove(tooLong));
}

// A write that cannot complete keeps the old value and leaves no temporary
// file behind.
TEST_F(RegistryTest, FailedWriteKeepsOldValueAndCleansUp) {
  auto key = RegistryKey::create(kPresetKey);
  const fs::path folder = root() / "SOFTWARE/Orv-acoustics/Orv_Valdris";
  const Bytes old = pattern(165, 7), bank = pattern(2565, 8);
  ASSERT_TRUE(key.set("DefaultPreset", RegType::binary, old.data(), 165));

  // A full disk, simulated with a file-size limit in a child process.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool stored = key.set("DefaultPreset", RegType::binary, bank.data(), 2565);
    _exit(stored ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write past the size limit reported success";
  EXPECT_EQ(valueOf(key, "DefaultPreset", RegType::binary), old);

  // A folder where the value file belongs makes the final rename fail.
  fs::create_directories(folder / "DefaultBank.value" / "blocker");
  EXPECT_FALSE(key.set("DefaultBank", RegType::binary, bank.data(), 2565));
  EXPECT_EQ(valueOf(key, "DefaultBank", RegType::binary), std::nullopt);

  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"DefaultBank.value", "DefaultPreset.value"}));
}

// A writer killed between writing its temporary file and renaming it leaves
// the file behind; the next write to the key removes it once it is over a
// minute old, and leaves younger ones (another writer may still be at work).
TEST_F(RegistryTest, WritesRemoveTemporariesLeftByKilledWriters) {
  auto key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  const fs::path stale = meterFolder() / ".tmp-Ab12Cd", fresh = meterFolder() / ".tmp-Ef34Gh";
  writeFile(stale, pattern(20, 1));
  writeFile(fresh, pattern(20, 2));
  const timespec twoMinutesAgo[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), twoMinutesAgo, 0), 0);
  EXPECT_EQ(valueOf(RegistryKey::open(kMeterKey), "vuintegration", RegType::binary), std::nullopt);
  EXPECT_TRUE(fs::exists(stale)) << "reading leaves the folder alone";

  const float v = 0.25f;
  ASSERT_TRUE(key.set("vuintegration", RegType::binary, &v, sizeof v));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_EQ(valueOf(key, "vuintegration", RegType::binary), Bytes({0x00, 0x00, 0x80, 0x3e}));
}

TEST_F(RegistryTest, ValuesAndSubkeysNeverShareAName) {
  const uint8_t one = 1, two = 2;
  auto parent = RegistryKey::create("SOFTWARE");
  auto child = RegistryKey::create("SOFTWARE\\vuintegration.value");
  ASSERT_TRUE(parent);
  ASSERT_TRUE(child);
  EXPECT_TRUE(parent.set("vuintegration", RegType::binary, &one, 1));
  EXPECT_TRUE(child.set("vuintegration", RegType::binary, &two, 1));
  EXPECT_EQ(valueOf(parent, "vuintegration", RegType::binary), Bytes{1});
  EXPECT_EQ(valueOf(child, "vuintegration", RegType::binary), Bytes{2});
}

// Two processes keep rewriting the same big value while a third reads it:
// every read is one complete write or nothing, never a mix.
namespace race {

constexpr int kWrites = 1000;
constexpr size_t kSize = 2565;

// Bytes 0-2 say who wrote which round; the rest derive from them, so a read
// that mixes two writes fails the check.
Bytes content(uint8_t writer, int round) {
  Bytes b(kSize);
  b[0] = writer;
  b[1] = static_cast<uint8_t>(round);
  b[2] = static_cast<uint8_t>(round >> 8);
  for (size_t i = 3; i < kSize; ++i) b[i] = static_cast<uint8_t>(i * (writer == 1 ? 13 : 29) + round * 3 + writer);
  return b;
}

bool isWholeWrite(const Bytes& b) {
  if (b.size() != kSize || (b[0] != 1 && b[0] != 2)) return false;
  const int round = b[1] | (b[2] << 8);
  return round < kWrites && b == content(b[0], round);
}

[[noreturn]] void writer(uint8_t id) {
  auto key = RegistryKey::create(kPresetKey);
  int failures = key ? 0 : 1;
  for (int round = 0; round < kWrites; ++round) {
    const Bytes b = content(id, round);
    if (!key.set("DefaultBank", RegType::binary, b.data(), kSize)) ++failures;
  }
  _exit(failures == 0 ? 0 : 1);
}

// Reads until `stop` reaches end of file. Exit 0: all reads whole and at
// least one succeeded; 1: a mixed or wrong value; 2: nothing was ever read;
// 3: the value went missing after it had been read (nobody removes it, so a
// writer must never expose a half-written state).
[[noreturn]] void reader(int stop) {
  auto key = RegistryKey::create(kPresetKey);
  long whole = 0;
  Bytes buffer(kSize + 100);
  char c;
  while (::read(stop, &c, 1) != 0) {
    uint32_t size = static_cast<uint32_t>(buffer.size());
    if (!key.query("DefaultBank", RegType::binary, buffer.data(), size)) {
      if (whole > 0) _exit(3);
      continue;
    }
    if (!isWholeWrite(Bytes(buffer.begin(), buffer.begin() + size))) _exit(1);
    ++whole;
  }
  _exit(whole > 0 ? 0 : 2);
}

int exitCode(pid_t pid) {
  int status = 0;
  if (pid <= 0) return -1;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace race

TEST_F(RegistryTest, ConcurrentWritersNeverShowAMixedValue) {
  ASSERT_TRUE(RegistryKey::create(kPresetKey));
  int stop[2];
  ASSERT_EQ(pipe(stop), 0);
  fcntl(stop[0], F_SETFL, O_NONBLOCK);

  const pid_t readerPid = fork();
  ASSERT_GE(readerPid, 0);
  if (readerPid == 0) {
    close(stop[1]);
    race::reader(stop[0]);
  }
  close(stop[0]);
  pid_t writers[2];
  // A failed fork shows as a failed writer; the reader still gets its stop.
  for (uint8_t id = 1; id <= 2; ++id) {
    writers[id - 1] = fork();
    if (writers[id - 1] == 0) {
      close(stop[1]);
      race::writer(id);
    }
  }
  EXPECT_EQ(race::exitCode(writers[0]), 0) << "writer 1 had failed writes";
  EXPECT_EQ(race::exitCode(writers[1]), 0) << "writer 2 had failed writes";
  close(stop[1]);
  EXPECT_EQ(race::exitCode(readerPid), 0) << "1: a read was not one whole write; 2: no read succeeded; 3: the value vanished";

  const auto last = valueOf(RegistryKey::open(kPresetKey), "DefaultBank", RegType::binary);
  ASSERT_TRUE(last);
  EXPECT_TRUE(*last == race::content(1, race::kWrites - 1) || *last == race::content(2, race::kWrites - 1));
  const auto files = filesUnder(root() / "SOFTWARE/Orv-acoustics/Orv_Valdris");
  ASSERT_EQ(files.size(), 1u) << "temporary files left behind";
  EXPECT_EQ(files[0].filename(), "DefaultBank.value");
}

}  // namespace
}  // namespace orv::platform
