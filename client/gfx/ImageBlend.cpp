#include "gfx/ImageBlend.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVRIN_GFX_X86 1
#endif

#include "gfx/Rgb565.h"

namespace tavrin::gfx {
namespace {

// ceil(255 * 65536 / a): (n * r) >> 16 == floor(n * 255 / a) for n <= 255,
// since the reciprocal's error n * e / 65536 stays below 1 / a.
struct Reciprocals {
  std::array<uint32_t, 256> r{};
  Reciprocals() {
    for (uint32_t a = 1; a < 256; ++a) r[a] = (255u * 65536u + a - 1) / a;
  }
};
const Reciprocals kRecip;

inline uint32_t unpremul_fast(uint32_t n, uint32_t recip) {
  return std::min<uint32_t>((n * recip) >> 16, 255);
}

inline uint16_t unpremul565_fast(uint32_t p, uint32_t a) {
  const uint32_t rc = kRecip.r[a];
  const uint32_t r = unpremul_fast((p >> 16) & 0xFF, rc);
  const uint32_t g = unpremul_fast((p >> 8) & 0xFF, rc);
  const uint32_t b = unpremul_fast(p & 0xFF, rc);
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

inline uint16_t opaque565(uint32_t p) {
  return uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
}

}  // namespace

void blend_image_row_portable(uint16_t* dst, const uint32_t* src, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const uint32_t a = p >> 24;
    if (a == 0) continue;
    if (a == 255) {
      dst[i] = opaque565(p);
    } else {
      dst[i] = blend565_image(dst[i], unpremul565_fast(p, a), int(a));
    }
  }
}

namespace {

#ifdef TAVRIN_GFX_X86
// Eight pixels a step in 32-bit lanes: the same reciprocal division and the
// same 5- and 6-bit blend factors as the scalar loop, bit for bit. Runs of
// fully transparent or fully opaque pixels take short cuts.
__attribute__((target("avx2"))) void blend_image_row_avx2(uint16_t* dst, const uint32_t* src,
                                                          int count) {
  const __m256i ff = _mm256_set1_epi32(0xFF);
  const __m256i m63 = _mm256_set1_epi32(63), m31 = _mm256_set1_epi32(31);
  const int* recip = reinterpret_cast<const int*>(kRecip.r.data());
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i a = _mm256_srli_epi32(p, 24);
    if (_mm256_testz_si256(a, a)) continue;  // all transparent
    const __m256i opaque = _mm256_cmpeq_epi32(a, ff);
    __m256i r8 = _mm256_and_si256(_mm256_srli_epi32(p, 16), ff);
    __m256i g8 = _mm256_and_si256(_mm256_srli_epi32(p, 8), ff);
    __m256i b8 = _mm256_and_si256(p, ff);
    __m128i* out = reinterpret_cast<__m128i*>(dst + i);
    if (_mm256_movemask_epi8(opaque) != -1) {
      // Back from premultiplied: floor(n * 255 / a) = (n * recip[a]) >> 16.
      const __m256i rc = _mm256_i32gather_epi32(recip, a, 4);
      r8 = _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(r8, rc), 16), ff);
      g8 = _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(g8, rc), 16), ff);
      b8 = _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(b8, rc), 16), ff);
    }
    const __m256i rn = _mm256_srli_epi32(r8, 3), gn = _mm256_srli_epi32(g8, 2),
                  bn = _mm256_srli_epi32(b8, 3);
    const __m256i colour =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(rn, 11), _mm256_slli_epi32(gn, 5)), bn);
    __m256i result = colour;
    if (_mm256_movemask_epi8(opaque) != -1) {
      const __m256i d = _mm256_cvtepu16_epi32(_mm_loadu_si128(out));
      const __m256i ro = _mm256_srli_epi32(d, 11);
      const __m256i go = _mm256_and_si256(_mm256_srli_epi32(d, 5), m63);
      const __m256i bo = _mm256_and_si256(d, m31);
      const __m256i f5 = _mm256_srli_epi32(a, 3), f6 = _mm256_srli_epi32(a, 2);
      // Differences are small signed values in the low 16 bits and the
      // factors have zero high halves, so madd gives the exact products.
      const __m256i r = _mm256_add_epi32(
          ro, _mm256_srai_epi32(_mm256_madd_epi16(_mm256_sub_epi32(rn, ro), f5), 5));
      const __m256i g = _mm256_add_epi32(
          go, _mm256_srai_epi32(_mm256_madd_epi16(_mm256_sub_epi32(gn, go), f6), 6));
      const __m256i b = _mm256_add_epi32(
          bo, _mm256_srai_epi32(_mm256_madd_epi16(_mm256_sub_epi32(bn, bo), f5), 5));
      const __m256i blended =
          _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 11), _mm256_slli_epi32(g, 5)), b);
      const __m256i clear = _mm256_cmpeq_epi32(a, _mm256_setzero_si256());
      result = _mm256_blendv_epi8(blended, colour, opaque);
      result = _mm256_blendv_epi8(result, d, clear);
    }
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(result, result), 0x08);
    _mm_storeu_si128(out, _mm256_castsi256_si128(packed));
  }
  blend_image_row_portable(dst + i, src + i, count - i);
}

using RowBlend = void (*)(uint16_t*, const uint32_t*, int);
RowBlend pick_row_blend() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? blend_image_row_avx2 : blend_image_row_portable;
}
const RowBlend kRowBlend = pick_row_blend();
#endif

}  // namespace

uint32_t unpremultiply(uint32_t channel, uint32_t alpha) {
  return std::min<uint32_t>(channel * 255 / alpha, 255);
}

uint16_t unpremultiplied_565(uint32_t argb) {
  const uint32_t a = argb >> 24;
  const uint32_t r = unpremultiply((argb >> 16) & 0xFF, a);
  const uint32_t g = unpremultiply((argb >> 8) & 0xFF, a);
  const uint32_t b = unpremultiply(argb & 0xFF, a);
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void blend_image_row(uint16_t* dst, const uint32_t* src, int count) {
#ifdef TAVRIN_GFX_X86
  kRowBlend(dst, src, count);
#else
  blend_image_row_portable(dst, src, count);
#endif
}

void blend_image_row_opacity(uint16_t* dst, const uint32_t* src, int count, int opacity,
                             bool invert) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const uint32_t a = p >> 24;
    const int e = opacity < 100 ? int(a) * opacity / 100 : int(a);
    if (e <= 0) continue;
    uint16_t colour = unpremul565_fast(p, a);
    if (invert) colour = uint16_t(~colour);
    dst[i] = e >= 255 ? colour : blend565_image(dst[i], colour, e);
  }
}

void blend_image_row_reference(uint16_t* dst, const uint32_t* src, int count, int opacity,
                               bool invert) {
  const bool fast = opacity >= 100 && !invert;
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const int a = int(p >> 24);
    const int e = fast || opacity >= 100 ? a : a * opacity / 100;
    if (e <= 0) continue;
    uint16_t colour = unpremultiplied_565(p);
    if (invert) colour = uint16_t(~colour);
    if (e == 255) {
      dst[i] = colour;
      continue;
    }
    const int f5 = e >> 3, f6 = e >> 2;
    const int ro = dst[i] >> 11, go = (dst[i] >> 5) & 63, bo = dst[i] & 31;
    const int rn = colour >> 11, gn = (colour >> 5) & 63, bn = colour & 31;
    dst[i] = uint16_t(((ro + (((rn - ro) * f5) >> 5)) << 11) |
                      ((go + (((gn - go) * f6) >> 6)) << 5) | (bo + (((bn - bo) * f5) >> 5)));
  }
}

}  // namespace tavrin::gfx
