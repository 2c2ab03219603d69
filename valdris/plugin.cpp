#include <new>

#include "host/entry.h"
#include "valdris/valdris.h"

namespace orv {

AudioEffect* createEffectInstance(vst::HostCallback audioMaster) {
  if (audioMaster == nullptr || audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  return new (std::nothrow) Valdris(audioMaster);
}

}  // namespace orv
