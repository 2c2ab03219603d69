// The plug-in's only exported function, under both names hosts look for.
#include "host/entry.h"

extern "C" {

__attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::HostCallback audioMaster) {
  if (audioMaster == nullptr || audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  orv::AudioEffect* effect = orv::createEffectInstance(audioMaster);
  return effect != nullptr ? effect->getAeffect() : nullptr;
}

// Older hosts look for "main"; same function, second name.
__attribute__((visibility("default"), alias("VSTPluginMain"))) vst::AEffect* vstPluginMainAlias(
    vst::HostCallback audioMaster) __asm__("main");
}
