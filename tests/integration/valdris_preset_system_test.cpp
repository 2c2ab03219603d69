// What the built module keeps for the user between instances: the default
// bank and preset applied as an instance is built, the two memories, and
// the remembered paths. The editor operations are reached the way the
// preset bar will reach them, through the editor object the effect owns.
#include <optional>

#include "platform/registry.h"
#include "presets/preset_system_editor.h"
#include "valdris_support.h"

namespace valdris_test {
namespace {

using orv::CPresetSystemEditor;
using orv::platform::RegistryKey;
using orv::platform::RegType;
using Bytes = std::vector<uint8_t>;

constexpr int32_t kNimletId = vst::fourCC('Z', 'k', '4', 'm');

CPresetSystemEditor* editorOf(Plugin& plugin) {
  auto* effect = static_cast<orv::AudioEffect*>(plugin.effect()->object);
  return static_cast<CPresetSystemEditor*>(effect->getEditor());
}

float distinctValue(int slot, int index) { return static_cast<float>(slot * kNumParams + index + 1) / 2048.0f; }

void putPreset(uint8_t* at, const std::string& name, int slot) {
  std::memcpy(at, name.data(), std::min(name.size(), kNameSize));
  for (int i = 0; i < kNumParams; ++i) {
    const float v = distinctValue(slot, i);
    std::memcpy(at + kNameSize + 4 * i, &v, 4);
  }
}

Bytes presetRecord(int32_t id, const std::string& name, int slot) {
  Bytes b(165, 0);
  std::memcpy(b.data(), &id, 4);
  b[4] = 0x21;
  putPreset(&b[5], name, slot);
  return b;
}

Bytes bankRecord(int32_t id) {
  Bytes b(2565, 0);
  std::memcpy(b.data(), &id, 4);
  b[4] = 0x37;
  for (int k = 0; k < kNumPresets; ++k) putPreset(&b[5 + 160 * k], "Bank " + std::to_string(k), k);
  return b;
}

void store(const char* name, const Bytes& data, RegType type = RegType::binary) {
  RegistryKey key = RegistryKey::create(orv::kPresetSystemKey);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key.set(name, type, data.data(), static_cast<uint32_t>(data.size())));
}

std::optional<std::string> storedString(const char* name) {
  const RegistryKey key = RegistryKey::open(orv::kPresetSystemKey);
  std::string text;
  if (!key || !key.queryString(name, text, 256)) return std::nullopt;
  return text;
}

// Preset `slot` holds `name` and the values of record slot `valuesOf`.
void expectPreset(const Chunk& c, int slot, const std::string& name, int valuesOf) {
  SCOPED_TRACE("preset " + std::to_string(slot));
  EXPECT_EQ(presetName(c, slot), name);
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(presetValue(c, slot, i), distinctValue(valuesOf, i)) << i;
}

// The engine runs the current preset.
void expectRunning(Plugin& plugin) {
  const Chunk c = getChunk(plugin);
  const int32_t current = readI32(c, 12);
  for (int i = 1; i < kNumParams; ++i) EXPECT_EQ(plugin.getParameter(i), presetValue(c, current, i)) << i;
}

using PresetSystemTest = ValdrisTest;

TEST_F(PresetSystemTest, NothingStoredLeavesFactoryPresetsAndNoWindowIsAnnounced) {
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const Chunk c = getChunk(*plugin);
  ASSERT_EQ(c.size(), kChunkSize);
  for (int k = 0; k < kNumPresets; ++k) EXPECT_EQ(presetName(c, k), kFactoryNames[k]) << k;
  EXPECT_EQ(readI32(c, 12), 0);
  expectRunning(*plugin);

  CPresetSystemEditor* editor = editorOf(*plugin);
  ASSERT_NE(editor, nullptr);
  EXPECT_STREQ(editor->getPresetDirectory(), "");
  EXPECT_STREQ(editor->getBankFileName(), "");
  EXPECT_STREQ(editor->getPresetFileName(), "");

  // The editor object exists, but there is no window for the host to open yet.
  EXPECT_EQ(plugin->effect()->flags & vst::effFlagsHasEditor, 0);
  vst::ERect* rect = nullptr;
  EXPECT_EQ(plugin->dispatch(vst::effEditGetRect, 0, 0, &rect), 0);
  int window = 0;
  EXPECT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, &window), 0);
  EXPECT_FALSE(editor->isOpen());
  plugin->dispatch(vst::effEditIdle);
  plugin->dispatch(vst::effEditClose);
}

TEST_F(PresetSystemTest, StoredDefaultsApplyAtConstructionBankFirst) {
  struct Case {
    const char* what;
    bool bank, preset;
  };
  const Case cases[] = {{"bank", true, false}, {"preset", false, true}, {"bank, then preset over preset 0", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistryKey key = RegistryKey::create(orv::kPresetSystemKey);
    key.remove("DefaultBank");
    key.remove("DefaultPreset");
    if (c.bank) store("DefaultBank", bankRecord(kUniqueId));
    if (c.preset) store("DefaultPreset", presetRecord(kUniqueId, "My default", 20));

    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    const Chunk chunk = getChunk(*plugin);
    ASSERT_EQ(chunk.size(), kChunkSize);
    EXPECT_EQ(readI32(chunk, 12), 0);
    if (c.preset) {
      expectPreset(chunk, 0, "My default", 20);
    } else {
      expectPreset(chunk, 0, "Bank 0", 0);
    }
    for (int k = 1; k < kNumPresets; ++k) {
      if (c.bank) expectPreset(chunk, k, "Bank " + std::to_string(k), k);
      else EXPECT_EQ(presetName(chunk, k), kFactoryNames[k]);
    }
    EXPECT_EQ(plugin->getString(vst::effGetProgramName), c.preset ? "My default" : "Bank 0");
    expectRunning(*plugin);
  }
}

TEST_F(PresetSystemTest, UnusableStoredDefaultsAreIgnored) {
  Bytes shortPreset = presetRecord(kUniqueId, "Short", 1), longPreset = shortPreset, shortBank = bankRecord(kUniqueId);
  shortPreset.pop_back();
  longPreset.push_back(0);
  shortBank.pop_back();
  struct Case {
    const char* what;
    const char* value;
    Bytes data;
    RegType type;
  };
  const Case cases[] = {
      {"preset one byte short", "DefaultPreset", shortPreset, RegType::binary},
      {"preset one byte long", "DefaultPreset", longPreset, RegType::binary},
      {"preset stored as a string", "DefaultPreset", presetRecord(kUniqueId, "Text", 1), RegType::string},
      {"the other product's preset", "DefaultPreset", presetRecord(kNimletId, "Nimlet", 1), RegType::binary},
      {"bank one byte short", "DefaultBank", shortBank, RegType::binary},
      {"the other product's bank", "DefaultBank", bankRecord(kNimletId), RegType::binary},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistryKey key = RegistryKey::create(orv::kPresetSystemKey);
    key.remove("DefaultBank");
    key.remove("DefaultPreset");
    store(c.value, c.data, c.type);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    const Chunk chunk = getChunk(*plugin);
    for (int k = 0; k < kNumPresets; ++k) EXPECT_EQ(presetName(chunk, k), kFactoryNames[k]) << k;
    EXPECT_EQ(readI32(chunk, 12), 0);
  }
}

TEST_F(PresetSystemTest, MemoryStoredInOneInstanceIsRecalledInAnother) {
  {
    auto first = load();
    ASSERT_NE(first, nullptr);
    first->setParameter(5, 0.37f);
    std::string name = "Remember me";
    first->dispatch(vst::effSetProgramName, 0, 0, name.data());
    editorOf(*first)->storeMemo(CPresetSystemEditor::Memo::A);
  }
  auto second = load();
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(selectViaChunk(*second, getChunk(*second), 3), 0);
  second->setParameter(5, 0.8f);
  const Chunk before = getChunk(*second);

  editorOf(*second)->recallMemo(CPresetSystemEditor::Memo::B);  // nothing stored there
  EXPECT_EQ(getChunk(*second), before);

  editorOf(*second)->recallMemo(CPresetSystemEditor::Memo::A);
  const Chunk after = getChunk(*second);
  EXPECT_EQ(readI32(after, 12), 3);
  EXPECT_EQ(presetName(after, 3), "Remember me");
  EXPECT_EQ(presetValue(after, 3, 5), 0.37f);
  EXPECT_EQ(second->getParameter(5), 0.37f);
  EXPECT_EQ(second->getString(vst::effGetProgramName), "Remember me");
  for (int k = 0; k < kNumPresets; ++k) {
    const size_t at = kPresetsOffset + kPresetSize * k;
    if (k == 3) continue;
    EXPECT_EQ(std::memcmp(&after[at], &before[at], kPresetSize), 0) << "preset " << k << " untouched";
  }
}

TEST_F(PresetSystemTest, StoredDefaultsReachTheNextInstanceUntilCleared) {
  Chunk stored;
  {
    auto first = load();
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(selectViaChunk(*first, getChunk(*first), 6), 0);
    first->setParameter(7, 0.61f);
    editorOf(*first)->storeDefaultBank();
    ASSERT_EQ(selectViaChunk(*first, getChunk(*first), 2), 0);
    first->setParameter(9, 0.12f);
    editorOf(*first)->storeDefaultPreset();
    stored = getChunk(*first);
  }
  {
    auto second = load();
    ASSERT_NE(second, nullptr);
    const Chunk c = getChunk(*second);
    EXPECT_EQ(presetValue(c, 6, 7), 0.61f) << "from the bank";
    EXPECT_EQ(presetName(c, 0), kFactoryNames[2]) << "preset 2 stored as the default preset";
    EXPECT_EQ(presetValue(c, 0, 9), 0.12f);
    for (int k = 1; k < kNumPresets; ++k) EXPECT_EQ(presetName(c, k), kFactoryNames[k]) << k;
    editorOf(*second)->clearDefaultBank();
    editorOf(*second)->clearDefaultPreset();
  }
  auto third = load();
  ASSERT_NE(third, nullptr);
  const Chunk c = getChunk(*third);
  EXPECT_EQ(presetName(c, 0), kFactoryNames[0]);
  EXPECT_NE(presetValue(c, 6, 7), 0.61f);
}

TEST_F(PresetSystemTest, RememberedPathsLoadAndSurviveAnInstanceThatPickedNothing) {
  {
    RegistryKey key = RegistryKey::create(orv::kPresetSystemKey);
    ASSERT_TRUE(key.setString("CurrDir", "/home/someone/Pr\xC3\xA9sets/"));
    ASSERT_TRUE(key.setString("CurrBank", "mastering.orb"));
    ASSERT_TRUE(key.setString("CurrPreset", "vocal.orv"));
  }
  for (int instance = 0; instance < 2; ++instance) {
    SCOPED_TRACE(instance);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    EXPECT_STREQ(editorOf(*plugin)->getPresetDirectory(), "/home/someone/Pr\xC3\xA9sets/");
    EXPECT_STREQ(editorOf(*plugin)->getBankFileName(), "mastering.orb");
    EXPECT_STREQ(editorOf(*plugin)->getPresetFileName(), "vocal.orv");
    EXPECT_EQ(plugin->close(), 1);
    EXPECT_EQ(storedString("CurrDir"), "/home/someone/Pr\xC3\xA9sets/");
    EXPECT_EQ(storedString("CurrBank"), "mastering.orb");
    EXPECT_EQ(storedString("CurrPreset"), "vocal.orv");
  }
}

}  // namespace
}  // namespace valdris_test
