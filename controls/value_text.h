// Value-to-text functions for the editors' displays (CParamDisplay's
// string conversion): each writes a terminated text into a buffer of at
// least 256 bytes.
#pragma once

namespace orv {

// A level in dBFS with one decimal, cut rather than rounded, counted at 6 dB
// per doubling of the level; "-oo dBFS" at 1e-8 and below.
void convertDbfs(float value, char* text);
// The value truncated toward zero.
void convertInteger(float value, char* text);
// Whole samples followed by "smps"; "0smps" below 1.
void convertSamples(float value, char* text);
// Milliseconds with 3 to 0 decimals as the value grows, from 1,000 on seconds
// with 3 decimals; digits are cut, never rounded up.
void convertMilliseconds(float value, char* text);

}  // namespace orv
