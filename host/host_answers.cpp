#include "host/host_answers.h"

#include <cstdio>
#include <cstring>

namespace orv {

bool describeMainPin(int32_t index, bool output, vst::VstPinProperties* p) {
  if (index < 0 || index > 1) return false;
  std::snprintf(p->label, sizeof p->label, output ? "My %1d Out" : "My %1d In", index + 1);
  p->flags = vst::kVstPinIsActive | vst::kVstPinIsStereo;
  return true;
}

void describeSteppedParameter(int32_t flags, float step, const char* name, vst::VstParameterProperties* p) {
  p->flags = flags;
  p->stepFloat = p->smallStepFloat = p->largeStepFloat = step;
  std::memset(p->label, 0, sizeof p->label);
  std::strncpy(p->label, name, sizeof p->label - 1);
  std::memcpy(p->shortLabel, p->label, 7);
  p->shortLabel[7] = '\0';
}

}  // namespace orv
