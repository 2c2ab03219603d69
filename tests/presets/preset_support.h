// Shared by the preset-system tests: a private config folder per test, the
// product classes built as a host builds them, a file dialog that answers
// from a script and records what it was asked, an editor with a frame so its
// dialogs run, and hand-made records in either byte order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gui/file_selector.h"
#include "nimlet/nimlet.h"
#include "presets/preset_system_editor.h"
#include "tests/support/scoped_config_home.h"
#include "valdris/valdris.h"

namespace presets_test {

namespace fs = std::filesystem;
using orv::CFileExtension;
using orv::CNewFileSelector;
using orv::CPresetSystemEditor;
using orv::CPresetSystemEffect;
using orv::Preset;
using Bytes = std::vector<uint8_t>;

inline constexpr int32_t kValdrisId = vst::fourCC('T', 'q', '8', 'w');
inline constexpr int32_t kNimletId = vst::fourCC('Z', 'k', '4', 'm');

inline intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// What one dialog was asked to show.
struct DialogSeen {
  CNewFileSelector::Style style;
  std::string title, initialDirectory, defaultSaveName;
  CFileExtension defaultExtension;
  std::vector<CFileExtension> extensions;
  bool multiple;
};

// The answer of the next dialogs: cancelled, or these paths picked.
struct DialogScript {
  bool cancel = false;
  std::vector<std::string> picks;
};

inline DialogScript& script() {
  static DialogScript s;
  return s;
}
inline std::vector<DialogSeen>& dialogsSeen() {
  static std::vector<DialogSeen> seen;
  return seen;
}

class ScriptedSelector : public CNewFileSelector {
 public:
  ScriptedSelector(orv::CFrame* parent, Style style) : CNewFileSelector(parent, style) {}

 protected:
  bool runModalInternal() override {
    dialogsSeen().push_back({style, title, initialDirectory, defaultSaveName, defaultExtension, extensions, multiple});
    if (script().cancel) return false;
    selected = script().picks;
    return true;
  }
};

inline std::unique_ptr<CNewFileSelector> makeScriptedSelector(orv::CFrame* parent, CNewFileSelector::Style style) {
  return std::make_unique<ScriptedSelector>(parent, style);
}

// The product's editor as it will be once a window is open.
class FramedEditor : public CPresetSystemEditor {
 public:
  using CPresetSystemEditor::CPresetSystemEditor;

 protected:
  orv::CFrame* openFrame() override {
    static int window;  // never looked into: the dialog only needs a parent
    return reinterpret_cast<orv::CFrame*>(&window);
  }
};

// Takes the product's own editor off and attaches a framed one that has
// loaded the remembered paths as the product's own did.
inline FramedEditor* attachFramedEditor(CPresetSystemEffect& effect) {
  std::unique_ptr<orv::AEffEditor> own(effect.getEditor());
  auto* editor = new FramedEditor(&effect);
  editor->loadPaths();
  return editor;
}

inline CPresetSystemEditor* editorOf(CPresetSystemEffect& effect) {
  return static_cast<CPresetSystemEditor*>(effect.getEditor());
}

class PresetSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.ok());
    previousFactory_ = CNewFileSelector::setFactory(makeScriptedSelector);
    script() = {};
    dialogsSeen().clear();
    files_ = home_.path() / "files";
    fs::create_directories(files_);
  }
  void TearDown() override { CNewFileSelector::setFactory(previousFactory_); }

  // A path under this test's folder, as a dialog returns it.
  std::string file(const std::string& name) const { return (files_ / name).string(); }

  orv::testing::ScopedConfigHome home_;
  fs::path files_;
  CNewFileSelector::Factory previousFactory_ = nullptr;
};

inline void writeBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void putWord(Bytes& b, size_t offset, uint32_t v, bool bigEndian) {
  for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<uint8_t>(v >> (bigEndian ? 24 - 8 * i : 8 * i));
}

inline uint32_t bitsOf(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return bits;
}

// Values no factory preset has, each different, so a slot or byte mix-up shows.
inline float distinctValue(int preset, int index) { return static_cast<float>(preset * 34 + index + 1) / 2048.0f; }

// One preset as a writer of either byte order lays it out: name, then values.
inline void putPreset(Bytes& b, size_t offset, const std::string& name, int slot, bool bigEndian) {
  std::memcpy(&b[offset], name.data(), std::min<size_t>(name.size(), 24));
  for (int i = 0; i < 34; ++i) putWord(b, offset + 24 + 4 * i, bitsOf(distinctValue(slot, i)), bigEndian);
}

inline Bytes presetRecord(int32_t id, const std::string& name, bool bigEndian = false, int slot = 0) {
  Bytes b(165, 0);
  putWord(b, 0, static_cast<uint32_t>(id), bigEndian);
  b[4] = 0x21;
  putPreset(b, 5, name, slot, bigEndian);
  return b;
}

inline Bytes bankRecord(int32_t id, bool bigEndian = false) {
  Bytes b(2565, 0);
  putWord(b, 0, static_cast<uint32_t>(id), bigEndian);
  b[4] = 0x37;
  for (int k = 0; k < 16; ++k) putPreset(b, 5 + 160 * k, "Bank " + std::to_string(k), k, bigEndian);
  return b;
}

inline std::string nameOf(const Preset& p) { return std::string(p.name, strnlen(p.name, sizeof p.name)); }

inline std::vector<Preset> tableOf(CPresetSystemEffect& effect) {
  return std::vector<Preset>(effect.presetTable(), effect.presetTable() + orv::kNumPresets);
}

inline bool sameTable(const std::vector<Preset>& a, const std::vector<Preset>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(Preset) * a.size()) == 0;
}

}  // namespace presets_test
