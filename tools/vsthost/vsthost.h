// A small VST 2.4 host for tests and tools: loads a plug-in module the way a
// DAW does and drives its effect record, recording every host callback.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/vst_abi.h"

namespace orv::vsthost {

// One callback received from the plug-in.
struct HostCall {
  bool nullEffect;  // the record pointer passed was null (calls made before the instance exists)
  int32_t opcode;
  int32_t index;
  intptr_t value;
  float opt;
};

// The host's answer to a callback opcode. Unset => defaults: audioMasterVersion -> 2400,
// audioMasterGetBlockSize -> 0, audioMasterPinConnected -> 0 (connected), everything else 0.
using Answer = std::function<intptr_t(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)>;

// The answer a host gives when the test supplies none.
intptr_t defaultAnswer(int32_t opcode);

// "Tq8w" from 0x54713877; bytes outside printable ASCII show as '.'.
std::string fourCharCode(int32_t id);

class Library {
 public:
  // dlopen(RTLD_NOW | RTLD_LOCAL) or LoadLibrary, then VSTPluginMain, falling back to main.
  // Null with *error set when the file cannot be loaded or has no entry point.
  static std::unique_ptr<Library> open(const std::string& path, std::string* error = nullptr);
  ~Library();  // dlclose or FreeLibrary

  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  using Entry = vst::AEffect* (*)(vst::HostCallback);
  Entry entry() const;
  const std::string& path() const;
  // Name of the symbol the entry was found under: "VSTPluginMain" or "main".
  const std::string& entryName() const;

 private:
  Library(void* handle, Entry entry, std::string path, std::string entryName);
  void* handle_;
  Entry entry_;
  std::string path_;
  std::string entryName_;
};

class Plugin {  // one instance; non-copyable
 public:
  // Calls the entry point with a recording callback. Returns null when the entry returns null
  // or a record without the "VstP" magic (the calls made are then still reported through
  // *callsOut when given).
  static std::unique_ptr<Plugin> create(const Library& lib, Answer answer = {}, std::string* error = nullptr,
                                        std::vector<HostCall>* callsOut = nullptr);
  ~Plugin();  // effClose unless already closed

  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  vst::AEffect* effect() const;  // null once closed
  // Every call below is a no-op returning 0 once the instance is closed.
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  std::string getString(int32_t opcode, int32_t index = 0);  // zeroed 256-byte buffer, returns the C string
  void setParameter(int32_t index, float value);
  float getParameter(int32_t index);
  void processReplacing(float** in, float** out, int32_t frames);
  void processDoubleReplacing(double** in, double** out, int32_t frames);
  const std::vector<HostCall>& calls() const;  // every callback received by this instance, in order
  void clearCalls();
  void setAnswer(Answer answer);
  intptr_t close();  // effClose; returns the dispatcher result; the record is gone afterwards

 private:
  explicit Plugin(Answer answer);
  static intptr_t callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt);

  vst::AEffect* effect_ = nullptr;
  Answer answer_;
  std::vector<HostCall> calls_;
};

}  // namespace orv::vsthost
