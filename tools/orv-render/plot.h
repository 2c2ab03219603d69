// A PNG overview of a render: waveform envelopes of input and output, and the gain change.
#pragma once

#include <string>

#include "tools/orv-render/analysis.h"
#include "tools/orv-render/audio_io.h"

namespace orv::render {

// Throws Error when the file cannot be written.
void writePlot(const std::string& path, const Planar& input, const Planar& output, const Report& report);

}  // namespace orv::render
