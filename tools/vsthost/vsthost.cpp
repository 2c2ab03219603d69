#include "tools/vsthost/vsthost.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "tools/vsthost/dynamic_library.h"

namespace orv::vsthost {

namespace {

// The callback carries no user pointer, so instances are found by their record.
// This is host-side bookkeeping, never on a plug-in's real-time path.
std::mutex registryMutex;
std::unordered_map<vst::AEffect*, Plugin*>& registry() {
  static std::unordered_map<vst::AEffect*, Plugin*> table;
  return table;
}

// The instance whose entry point is running on this thread: receives the calls
// made with a null record, or with a record not yet registered.
thread_local Plugin* constructing = nullptr;

}  // namespace

intptr_t defaultAnswer(int32_t opcode) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

std::string fourCharCode(int32_t id) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>((static_cast<uint32_t>(id) >> shift) & 0xff);
    s += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
  }
  return s;
}

// ---- Library ----

Library::Library(void* handle, Entry entry, std::string path, std::string entryName)
    : handle_(handle), entry_(entry), path_(std::move(path)), entryName_(std::move(entryName)) {}

std::unique_ptr<Library> Library::open(const std::string& path, std::string* error) {
  auto fail = [&](std::string message) -> std::unique_ptr<Library> {
    if (error) *error = std::move(message);
    return nullptr;
  };
  if (path.empty()) return fail("empty plug-in path");
  std::string why;
  void* handle = dynamic::load(path, &why);
  if (!handle) return fail(why);
  for (const char* name : {"VSTPluginMain", "main"}) {
    if (void* symbol = dynamic::symbol(handle, name)) {
      return std::unique_ptr<Library>(new Library(handle, reinterpret_cast<Entry>(symbol), path, name));
    }
  }
  dynamic::unload(handle);
  return fail(path + ": no VSTPluginMain or main entry point");
}

Library::~Library() {
  dynamic::unload(handle_);
}

Library::Entry Library::entry() const {
  return entry_;
}

const std::string& Library::path() const {
  return path_;
}

const std::string& Library::entryName() const {
  return entryName_;
}

// ---- Plugin ----

Plugin::Plugin(Answer answer) : answer_(std::move(answer)) {}

intptr_t Plugin::callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                          float opt) {
  Answer answer;
  {
    std::lock_guard lock(registryMutex);
    Plugin* target = nullptr;
    if (effect) {
      const auto it = registry().find(effect);
      if (it != registry().end()) target = it->second;
    }
    if (!target) target = constructing;
    if (!target) return defaultAnswer(opcode);
    target->calls_.push_back({effect == nullptr, opcode, index, value, opt});
    answer = target->answer_;
  }
  // Answered outside the lock: an answer may call back into the plug-in.
  return answer ? answer(opcode, index, value, ptr, opt) : defaultAnswer(opcode);
}

std::unique_ptr<Plugin> Plugin::create(const Library& lib, Answer answer, std::string* error,
                                       std::vector<HostCall>* callsOut) {
  std::unique_ptr<Plugin> plugin(new Plugin(std::move(answer)));

  Plugin* const outer = constructing;  // entry points may nest (a host answer creating an instance)
  constructing = plugin.get();
  vst::AEffect* effect = lib.entry()(&Plugin::callback);
  constructing = outer;

  if (callsOut) {
    std::lock_guard lock(registryMutex);
    *callsOut = plugin->calls_;
  }
  if (!effect) {
    if (error) *error = lib.path() + ": the entry point returned no effect record";
    return nullptr;
  }
  if (effect->magic != vst::kEffectMagic) {
    // Not a VST record: nothing of it can be driven, not even effClose.
    if (error) *error = lib.path() + ": the effect record lacks the VstP magic";
    return nullptr;
  }
  {
    std::lock_guard lock(registryMutex);
    registry()[effect] = plugin.get();
  }
  plugin->effect_ = effect;
  return plugin;
}

Plugin::~Plugin() {
  close();
}

vst::AEffect* Plugin::effect() const {
  return effect_;
}

intptr_t Plugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  if (!effect_ || !effect_->dispatcher) return 0;
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string Plugin::getString(int32_t opcode, int32_t index) {
  char text[256] = {};
  dispatch(opcode, index, 0, text);
  text[sizeof text - 1] = '\0';
  return text;
}

void Plugin::setParameter(int32_t index, float value) {
  if (effect_ && effect_->setParameter) effect_->setParameter(effect_, index, value);
}

float Plugin::getParameter(int32_t index) {
  return effect_ && effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void Plugin::processReplacing(float** in, float** out, int32_t frames) {
  if (effect_ && effect_->processReplacing) effect_->processReplacing(effect_, in, out, frames);
}

void Plugin::processDoubleReplacing(double** in, double** out, int32_t frames) {
  if (effect_ && effect_->processDoubleReplacing) effect_->processDoubleReplacing(effect_, in, out, frames);
}

const std::vector<HostCall>& Plugin::calls() const {
  return calls_;
}

void Plugin::clearCalls() {
  std::lock_guard lock(registryMutex);
  calls_.clear();
}

void Plugin::setAnswer(Answer answer) {
  std::lock_guard lock(registryMutex);
  answer_ = std::move(answer);
}

intptr_t Plugin::close() {
  if (!effect_) return 0;
  // Still registered while closing: the plug-in may call back from its destructor.
  const intptr_t result = dispatch(vst::effClose);
  {
    std::lock_guard lock(registryMutex);
    registry().erase(effect_);
  }
  effect_ = nullptr;
  return result;
}

}  // namespace orv::vsthost
