// Power functions over whole arrays, several values per instruction where the
// platform's vector maths library is there (glibc's libmvec on x86-64 Linux:
// at most 4 ulp from the correctly rounded power), std::pow elsewhere. Every
// value takes the same path whatever its position in the array, so results do
// not depend on how a signal is cut into blocks.
#pragma once

namespace orv::dsp {

// out[i] = x[i]^y for i < count. x and out may be the same array.
void powArray(const double* x, double y, double* out, int count) noexcept;

// out[i] = x^y[i] for i < count. y and out may be the same array.
void powArray(double x, const double* y, double* out, int count) noexcept;

// out[i] = x[i]^y[i] for i < count; out may be either input.
void powArray(const double* x, const double* y, double* out, int count) noexcept;

}  // namespace orv::dsp
