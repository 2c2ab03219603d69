// orv-info PLUGIN.so: loads a VST 2.4 plug-in the way a host does and prints
// what the host sees of it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/vsthost/vsthost.h"

namespace {

using orv::vsthost::Plugin;

const char* categoryName(intptr_t category) {
  static const char* const names[] = {"Unknown",     "Effect",     "Synth",       "Analysis",
                                      "Mastering",   "Spacializer", "RoomFx",     "SurroundFx",
                                      "Restoration", "OfflineProcess", "Shell",   "Generator"};
  return category >= 0 && category < static_cast<intptr_t>(std::size(names)) ? names[category] : "?";
}

std::string flagNames(int32_t flags) {
  static const struct {
    int32_t bit;
    const char* name;
  } known[] = {{vst::effFlagsHasEditor, "HasEditor"},
               {vst::effFlagsCanReplacing, "CanReplacing"},
               {vst::effFlagsProgramChunks, "ProgramChunks"},
               {vst::effFlagsIsSynth, "IsSynth"},
               {vst::effFlagsNoSoundInStop, "NoSoundInStop"},
               {vst::effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
  std::string text;
  int32_t rest = flags;
  for (const auto& k : known) {
    if (flags & k.bit) {
      text += text.empty() ? "" : " ";
      text += k.name;
      rest &= ~k.bit;
    }
  }
  if (rest) {
    char other[32];
    std::snprintf(other, sizeof other, "%s0x%x", text.empty() ? "" : " ", static_cast<unsigned>(rest));
    text += other;
  }
  return text.empty() ? "none" : text;
}

std::string pinFlagNames(int32_t flags) {
  std::string text;
  if (flags & vst::kVstPinIsActive) text += " active";
  if (flags & vst::kVstPinIsStereo) text += " stereo";
  if (flags & vst::kVstPinUseSpeaker) text += " speaker";
  return text;
}

// A fixed-size label from the plug-in need not be terminated.
template <size_t N>
std::string label(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

void printPins(Plugin& plugin, const char* title, int32_t opcode, int32_t count) {
  std::printf("%s:\n", title);
  for (int32_t pin = 0; pin < count; ++pin) {
    vst::VstPinProperties props{};
    if (plugin.dispatch(opcode, pin, 0, &props) == 0) {
      std::printf("  %d  (no properties)\n", pin);
      continue;
    }
    std::printf("  %d  \"%s\"  short \"%s\"  flags 0x%x%s\n", pin, label(props.label).c_str(),
                label(props.shortLabel).c_str(), static_cast<unsigned>(props.flags),
                pinFlagNames(props.flags).c_str());
  }
}

std::string parameterProperties(Plugin& plugin, int32_t index) {
  vst::VstParameterProperties props{};
  if (plugin.dispatch(vst::effGetParameterProperties, index, 0, &props) == 0) return "-";
  std::string text;
  char part[96];
  auto add = [&](const char* s) {
    text += text.empty() ? "" : ", ";
    text += s;
  };
  if (props.flags & vst::kVstParameterIsSwitch) add("switch");
  if (props.flags & vst::kVstParameterUsesIntegerMinMax) {
    std::snprintf(part, sizeof part, "int %d..%d", props.minInteger, props.maxInteger);
    add(part);
  }
  if (props.flags & vst::kVstParameterUsesIntStep) {
    std::snprintf(part, sizeof part, "int step %d/%d", props.stepInteger, props.largeStepInteger);
    add(part);
  }
  if (props.flags & vst::kVstParameterUsesFloatStep) {
    std::snprintf(part, sizeof part, "step %g/%g/%g", props.smallStepFloat, props.stepFloat, props.largeStepFloat);
    add(part);
  }
  if (props.flags & vst::kVstParameterCanRamp) add("ramp");
  if (props.label[0]) {
    std::snprintf(part, sizeof part, "label \"%s\"", label(props.label).c_str());
    add(part);
  }
  std::snprintf(part, sizeof part, "flags 0x%x", static_cast<unsigned>(props.flags));
  add(part);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: orv-info PLUGIN.so\n");
    return 2;
  }
  const std::string path = argv[1];
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    std::fprintf(stderr, "orv-info: %s: no such file\n", path.c_str());
    return 1;
  }
  std::string error;
  auto library = orv::vsthost::Library::open(path, &error);
  if (!library) {
    std::fprintf(stderr, "orv-info: %s\n", error.c_str());
    return 1;
  }
  auto plugin = Plugin::create(*library, {}, &error);
  if (!plugin) {
    std::fprintf(stderr, "orv-info: %s\n", error.c_str());
    return 1;
  }

  plugin->dispatch(vst::effOpen);
  plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
  plugin->dispatch(vst::effSetBlockSize, 0, 64);

  const vst::AEffect& e = *plugin->effect();
  const intptr_t category = plugin->dispatch(vst::effGetPlugCategory);
  std::printf("Plug-in:        %s (entry %s)\n", path.c_str(), library->entryName().c_str());
  std::printf("Effect name:    \"%s\"\n", plugin->getString(vst::effGetEffectName).c_str());
  std::printf("Vendor:         \"%s\"\n", plugin->getString(vst::effGetVendorString).c_str());
  std::printf("Product:        \"%s\"\n", plugin->getString(vst::effGetProductString).c_str());
  std::printf("Vendor version: %ld\n", static_cast<long>(plugin->dispatch(vst::effGetVendorVersion)));
  std::printf("VST version:    %ld\n", static_cast<long>(plugin->dispatch(vst::effGetVstVersion)));
  std::printf("Unique id:      %s (%d)\n", orv::vsthost::fourCharCode(e.uniqueID).c_str(), e.uniqueID);
  std::printf("Category:       %ld (%s)\n", static_cast<long>(category), categoryName(category));
  std::printf("Inputs:         %d\n", e.numInputs);
  std::printf("Outputs:        %d\n", e.numOutputs);
  std::printf("Flags:          0x%08x (%s)\n", static_cast<unsigned>(e.flags), flagNames(e.flags).c_str());
  std::printf("Initial delay:  %d samples\n", e.initialDelay);
  std::printf("Programs:       %d\n", e.numPrograms);
  std::printf("Parameters:     %d\n", e.numParams);

  printPins(*plugin, "Input pins", vst::effGetInputProperties, e.numInputs);
  printPins(*plugin, "Output pins", vst::effGetOutputProperties, e.numOutputs);

  std::printf("Parameter list (index, name, display, label, value, properties):\n");
  for (int32_t i = 0; i < e.numParams; ++i) {
    std::printf("  %2d  \"%s\"  \"%s\"  \"%s\"  %.6f  %s\n", i, plugin->getString(vst::effGetParamName, i).c_str(),
                plugin->getString(vst::effGetParamDisplay, i).c_str(),
                plugin->getString(vst::effGetParamLabel, i).c_str(), plugin->getParameter(i),
                parameterProperties(*plugin, i).c_str());
  }

  std::printf("Presets:\n");
  for (int32_t i = 0; i < 16; ++i) {
    char name[256] = {};
    const intptr_t ok = plugin->dispatch(vst::effGetProgramNameIndexed, i, 0, name);
    name[sizeof name - 1] = '\0';
    if (ok) {
      std::printf("  %2d  \"%s\"\n", i, name);
    } else {
      std::printf("  %2d  (none)\n", i);
    }
  }
  plugin->close();
  return 0;
}
