// The plug-in's only exported function, under both names hosts look for.
#include "host/entry.h"

#ifdef _WIN32
// Exported through exports.def, which also gives it the name "main".
#define ORV_EXPORT
#else
#define ORV_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

ORV_EXPORT vst::AEffect* VSTPluginMain(vst::HostCallback audioMaster) {
  if (audioMaster == nullptr || audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  orv::AudioEffect* effect = orv::createEffectInstance(audioMaster);
  return effect != nullptr ? effect->getAeffect() : nullptr;
}

#ifndef _WIN32
// Older hosts look for "main"; same function, second name.
__attribute__((visibility("default"), alias("VSTPluginMain"))) vst::AEffect* vstPluginMainAlias(
    vst::HostCallback audioMaster) __asm__("main");
#endif
}
