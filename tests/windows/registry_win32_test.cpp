// The registry layer on Windows: the same contract as the file-backed store
// on POSIX, checked against the real registry (a private stand-in for
// HKEY_CURRENT_USER, see ScopedConfigHome).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/path_text.h"
#include "platform/registry.h"
#include "tests/support/scoped_config_home.h"

namespace orv::platform {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr std::string_view kMeterKey = "SOFTWARE\\Orv-acoustics\\Kolvane20";

class RegistryWin32Test : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home_.ok()); }
  testing::ScopedConfigHome home_;
};

// What Windows itself stores, read without our layer.
bool rawValue(const wchar_t* key, const wchar_t* name, DWORD& type, Bytes& data) {
  data.assign(4096, 0);
  DWORD size = static_cast<DWORD>(data.size());
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size) !=
      ERROR_SUCCESS)
    return false;
  data.resize(size);
  return true;
}

TEST_F(RegistryWin32Test, ValuesLandWithTheirTypeAndBytes) {
  RegistryKey key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  const float vu = 0.41f;
  ASSERT_TRUE(key.set("vureference", RegType::binary, &vu, sizeof vu));
  const Bytes text = {'C', 0, ':', 0, '\\', 0, 0, 0};
  ASSERT_TRUE(key.set("CurrDir", RegType::string, text.data(), static_cast<uint32_t>(text.size())));
  ASSERT_TRUE(key.set("empty", RegType::binary, nullptr, 0));

  DWORD type = 0;
  Bytes data;
  ASSERT_TRUE(rawValue(L"SOFTWARE\\Orv-acoustics\\Kolvane20", L"vureference", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(data.size(), 4u);
  EXPECT_EQ(std::memcmp(data.data(), &vu, 4), 0);
  ASSERT_TRUE(rawValue(L"SOFTWARE\\Orv-acoustics\\Kolvane20", L"CurrDir", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, text);
  ASSERT_TRUE(rawValue(L"SOFTWARE\\Orv-acoustics\\Kolvane20", L"empty", type, data));
  EXPECT_TRUE(data.empty());

  // Read back through a fresh, read-only open; names ignore case on Windows.
  const RegistryKey reader = RegistryKey::open(kMeterKey);
  ASSERT_TRUE(reader);
  float got = 0;
  uint32_t size = sizeof got;
  ASSERT_TRUE(reader.query("VUReference", RegType::binary, &got, size));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(got, vu);
}

TEST_F(RegistryWin32Test, FailedQueriesLeaveBufferAndSizeAlone) {
  RegistryKey key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(key.set("eight", RegType::binary, eight.data(), 8));
  struct Case {
    const char* what;
    const char* name;
    RegType type;
    uint32_t capacity;
  };
  const Case cases[] = {
      {"too small", "eight", RegType::binary, 4},
      {"other type", "eight", RegType::string, 64},
      {"missing", "absent", RegType::binary, 64},
  };
  for (const Case& c : cases) {
    Bytes buffer(64, 0xAA);
    uint32_t size = c.capacity;
    EXPECT_FALSE(key.query(c.name, c.type, buffer.data(), size)) << c.what;
    EXPECT_EQ(size, c.capacity) << c.what;
    EXPECT_EQ(buffer, Bytes(64, 0xAA)) << c.what;
  }
}

TEST_F(RegistryWin32Test, OpenNeverCreatesAndReadOnlyKeysStillWriteAndDelete) {
  EXPECT_FALSE(RegistryKey::open(kMeterKey));
  EXPECT_FALSE(RegistryKey::open(kMeterKey));
  ASSERT_TRUE(RegistryKey::create(kMeterKey));

  RegistryKey reader = RegistryKey::open(kMeterKey);
  ASSERT_TRUE(reader);
  const float v = 0.5f;
  EXPECT_TRUE(reader.set("ppmreturn", RegType::binary, &v, sizeof v));
  EXPECT_TRUE(reader.remove("ppmreturn"));
  EXPECT_FALSE(reader.remove("ppmreturn"));
  float got = 0;
  uint32_t size = sizeof got;
  EXPECT_FALSE(reader.query("ppmreturn", RegType::binary, &got, size));
}

TEST_F(RegistryWin32Test, MalformedPathsAndNamesFail) {
  for (const char* path : {"", "\\SOFTWARE", "SOFTWARE\\", "SOFTWARE\\\\Orv", "SOFTWARE\\..\\Orv", "SOFTWARE\\.",
                           "SOFTWARE\\\xff\xfe"}) {
    EXPECT_FALSE(RegistryKey::create(path)) << path;
    EXPECT_FALSE(RegistryKey::open(path)) << path;
  }
  RegistryKey key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  const float v = 1.0f;
  EXPECT_FALSE(key.set("bad\xc3", RegType::binary, &v, sizeof v));
  EXPECT_FALSE(key.set("null data", RegType::binary, nullptr, 4));
}

// Paths are UTF-8 on our side and REG_SZ in the registry, so other Windows
// programs (and regedit) read what we wrote.
TEST_F(RegistryWin32Test, StringValuesAreUtf16WithTerminator) {
  struct Case {
    const char* label;
    std::string text;
    std::wstring stored;  // without the terminator
  };
  const Case cases[] = {
      {"ASCII", "C:\\Users\\someone\\Presets\\", L"C:\\Users\\someone\\Presets\\"},
      {"empty", "", L""},
      {"accents", "Pr\xC3\xA9sets", L"Pr\u00E9sets"},
      {"beyond the BMP", "\xF0\x9F\x8E\xB9.orv", L"\U0001F3B9.orv"},
  };
  RegistryKey key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(key.setString("CurrDir", c.text));
    DWORD type = 0;
    Bytes raw;
    ASSERT_TRUE(rawValue(L"SOFTWARE\\Orv-acoustics\\Kolvane20", L"CurrDir", type, raw));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    const std::wstring withTerminator = c.stored + L'\0';
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2), withTerminator);
    std::string back = "untouched";
    ASSERT_TRUE(key.queryString("currdir", back, 256));
    EXPECT_EQ(back, c.text);
  }
}

TEST_F(RegistryWin32Test, StringValuesOfAnotherTypeOrSizeReadAsMissing) {
  RegistryKey key = RegistryKey::create(kMeterKey);
  ASSERT_TRUE(key);
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Orv-acoustics\\Kolvane20", 0, KEY_SET_VALUE, &raw),
            ERROR_SUCCESS);
  struct Case {
    const char* label;
    DWORD type;
    std::wstring data;
    DWORD bytes;  // of data
  };
  const std::wstring tooLong(257, L'x');
  const Case cases[] = {
      {"expandable string", REG_EXPAND_SZ, L"%TEMP%", 14},
      {"binary", REG_BINARY, L"abc", 8},
      {"odd size", REG_SZ, L"ab", 3},
      {"257 bytes once converted", REG_SZ, tooLong, 2 * 258},
      {"lone high surrogate", REG_SZ, std::wstring(L"a\xD800" L"b"), 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(RegSetValueExW(raw, L"CurrBank", 0, c.type, reinterpret_cast<const BYTE*>(c.data.c_str()), c.bytes),
              ERROR_SUCCESS);
    std::string text = "untouched";
    EXPECT_FALSE(key.queryString("CurrBank", text, 256));
    EXPECT_EQ(text, "untouched");
  }
  RegCloseKey(raw);
}

// A UTF-8 path names the same file the wide calls see.
TEST_F(RegistryWin32Test, FilePathsAreUtf8) {
  std::string dir;
  ASSERT_TRUE(currentDirectory(dir));
  ASSERT_FALSE(dir.empty());
  wchar_t wideDir[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, wideDir), 0u);
  const std::wstring wideName = std::wstring(wideDir) + L"\\Pr\u00E9set \U0001F3B9.orv";
  const std::string name = dir + "\\Pr\xC3\xA9set \xF0\x9F\x8E\xB9.orv";
  std::FILE* file = openFile(name.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("orv", file);
  std::fclose(file);
  EXPECT_NE(GetFileAttributesW(wideName.c_str()), INVALID_FILE_ATTRIBUTES);
  file = openFile(name.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char back[4] = {};
  EXPECT_EQ(std::fread(back, 1, 3, file), 3u);
  std::fclose(file);
  EXPECT_STREQ(back, "orv");
  EXPECT_TRUE(DeleteFileW(wideName.c_str()));
}

}  // namespace
}  // namespace orv::platform
