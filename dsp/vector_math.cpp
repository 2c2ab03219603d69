#include "dsp/vector_math.h"

#include <cmath>

#if defined(__x86_64__) && defined(__linux__) && defined(__GLIBC__)
#define ORV_LIBMVEC 1
#include <immintrin.h>

// glibc's vector variants of pow (libmvec), named by the vector function ABI:
// two lanes on any x86-64, four with AVX2.
extern "C" __m128d _ZGVbN2vv_pow(__m128d, __m128d);
extern "C" __m256d _ZGVdN4vv_pow(__m256d, __m256d);
#endif

namespace orv::dsp {
namespace {

#if ORV_LIBMVEC
// x and y are read with a stride of 0 or 1 so that one loop serves all three
// forms; a short tail is padded so it takes the vector path too.
template <int xStride, int yStride>
__attribute__((target("avx2"))) void powAvx2(const double* x, const double* y, double* out, int count) noexcept {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256d a = xStride ? _mm256_loadu_pd(x + i) : _mm256_set1_pd(*x);
    const __m256d b = yStride ? _mm256_loadu_pd(y + i) : _mm256_set1_pd(*y);
    _mm256_storeu_pd(out + i, _ZGVdN4vv_pow(a, b));
  }
  if (i < count) {
    alignas(32) double a[4] = {1.0, 1.0, 1.0, 1.0}, b[4] = {1.0, 1.0, 1.0, 1.0}, r[4];
    for (int k = 0; i + k < count; ++k) a[k] = x[xStride * (i + k)], b[k] = y[yStride * (i + k)];
    _mm256_store_pd(r, _ZGVdN4vv_pow(_mm256_load_pd(a), _mm256_load_pd(b)));
    for (int k = 0; i + k < count; ++k) out[i + k] = r[k];
  }
}

template <int xStride, int yStride>
void powSse2(const double* x, const double* y, double* out, int count) noexcept {
  int i = 0;
  for (; i + 2 <= count; i += 2) {
    const __m128d a = xStride ? _mm_loadu_pd(x + i) : _mm_set1_pd(*x);
    const __m128d b = yStride ? _mm_loadu_pd(y + i) : _mm_set1_pd(*y);
    _mm_storeu_pd(out + i, _ZGVbN2vv_pow(a, b));
  }
  if (i < count) {
    const __m128d r = _ZGVbN2vv_pow(_mm_set_pd(1.0, x[xStride * i]), _mm_set_pd(1.0, y[yStride * i]));
    out[i] = _mm_cvtsd_f64(r);
  }
}

bool hasAvx2() noexcept {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}
#endif

template <int xStride, int yStride>
void powAny(const double* x, const double* y, double* out, int count) noexcept {
#if ORV_LIBMVEC
  if (hasAvx2()) powAvx2<xStride, yStride>(x, y, out, count);
  else powSse2<xStride, yStride>(x, y, out, count);
#else
  for (int i = 0; i < count; ++i) out[i] = std::pow(x[xStride * i], y[yStride * i]);
#endif
}

}  // namespace

void powArray(const double* x, double y, double* out, int count) noexcept { powAny<1, 0>(x, &y, out, count); }
void powArray(double x, const double* y, double* out, int count) noexcept { powAny<0, 1>(&x, y, out, count); }
void powArray(const double* x, const double* y, double* out, int count) noexcept { powAny<1, 1>(x, y, out, count); }

}  // namespace orv::dsp
