// The modal file dialog the preset bar opens to load and save preset and bank
// files. Callers ask `create` for one, fill it in, run it and read the picked
// path; the platform backend supplies the real dialog, and tests install a
// factory of their own so nothing here needs a window.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orv {

class CFrame;

struct CFileExtension {
  std::string description;  // "Orv Preset"
  std::string extension;    // "orv", without the dot
};

class CNewFileSelector {
 public:
  enum Style { kSelectFile, kSelectSaveFile };
  using Factory = std::unique_ptr<CNewFileSelector> (*)(CFrame* parent, Style style);

  virtual ~CNewFileSelector() = default;
  CNewFileSelector(const CNewFileSelector&) = delete;
  CNewFileSelector& operator=(const CNewFileSelector&) = delete;

  // The dialog for `parent`, or null when none can be shown.
  static std::unique_ptr<CNewFileSelector> create(CFrame* parent, Style style) {
    Factory f = factory();
    return f ? f(parent, style) : nullptr;
  }
  // Replaces the dialog `create` makes (tests); returns the previous factory.
  static Factory setFactory(Factory f) { return std::exchange(factory(), f); }

  void setTitle(std::string text) { title = std::move(text); }
  void setInitialDirectory(std::string path) { initialDirectory = std::move(path); }
  void setDefaultSaveName(std::string name) { defaultSaveName = std::move(name); }
  void setDefaultExtension(CFileExtension ext) { defaultExtension = std::move(ext); }
  void addFileExtension(CFileExtension ext) { extensions.push_back(std::move(ext)); }
  void setAllowMultiFileSelection(bool allow) { multiple = allow; }

  // Runs the dialog until the user picks or cancels; false when cancelled.
  bool runModal() {
    selected.clear();
    return runModalInternal() && !selected.empty();
  }
  int getNumSelectedFiles() const { return static_cast<int>(selected.size()); }
  const char* getSelectedFile(int index) const {
    return index >= 0 && index < getNumSelectedFiles() ? selected[index].c_str() : nullptr;
  }

  Style getStyle() const { return style; }
  const std::string& getTitle() const { return title; }
  const std::string& getInitialDirectory() const { return initialDirectory; }
  const std::string& getDefaultSaveName() const { return defaultSaveName; }
  const CFileExtension& getDefaultExtension() const { return defaultExtension; }
  const std::vector<CFileExtension>& getFileExtensions() const { return extensions; }
  bool allowsMultiFileSelection() const { return multiple; }

 protected:
  CNewFileSelector(CFrame* parent, Style style) : parent(parent), style(style) {}
  // Shows the dialog and fills `selected` with the absolute paths picked.
  virtual bool runModalInternal() = 0;

  CFrame* parent;
  Style style;
  std::string title, initialDirectory, defaultSaveName;
  CFileExtension defaultExtension;
  std::vector<CFileExtension> extensions;
  bool multiple = false;
  std::vector<std::string> selected;

 private:
  static Factory& factory() {
    static Factory current = nullptr;
    return current;
  }
};

}  // namespace orv
