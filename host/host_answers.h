// Answers both products give the host in the same form.
#pragma once

#include <cstdint>

#include "host/vst_abi.h"

namespace orv {

constexpr const char* kVendorString = "www.orv-acoustics.com";

// The main pair's pin records, "My 1 In" .. "My 2 Out", active and stereo.
// Pins from 2 up (the side-chain pair) have none; other fields stay as the host passed them.
bool describeMainPin(int32_t index, bool output, vst::VstPinProperties* p);

// A stepped parameter's record: flags, the same step three times, the name as
// label and its first 7 characters as short label.
void describeSteppedParameter(int32_t flags, float step, const char* name, vst::VstParameterProperties* p);

}  // namespace orv
