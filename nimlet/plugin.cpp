#include <new>

#include "host/entry.h"
#include "nimlet/nimlet.h"

namespace orv {

AudioEffect* createEffectInstance(vst::HostCallback audioMaster) {
  if (audioMaster == nullptr || audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  return new (std::nothrow) Nimlet(audioMaster);
}

}  // namespace orv
