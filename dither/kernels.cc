// The kernels of kernels.h, compiled once per instruction set by Highway's
// foreach_target, and the dispatch to the best set the processor has.
//
// Every kernel runs whole vectors over the line, then the last partial vector
// through zero-filled copies on the stack, so it never touches memory past the
// line or the dot row.  A sample of 0 beyond the line sets no 1-bit dot (no
// threshold is below 0), and a 4-bit row's odd last byte gets its low nibble
// cleared, as the plain routines store it.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "dither/kernels.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
// clang-format off: highway.h must follow foreach_target.h
#include "hwy/highway.h"
// clang-format on
#include <algorithm>
#include <cstring>

#include "dither/kernels.h"

HWY_BEFORE_NAMESPACE();
namespace zelt_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The plain-C++ target: one pixel at a time from the same tables.
#if HWY_TARGET == HWY_SCALAR

void ScreenLineT(const std::uint8_t* samples, std::uint32_t pixels, KernelRow row,
                 std::uint8_t* dots) {
  // A byte of eight pixels a step (the period is a multiple of 8), then the
  // last pixels one by one.
  std::uint32_t x = 0, c = 0;
  for (; x + 8 <= pixels; x += 8) {
    const std::uint8_t *s = samples + x, *t = row.cells + c;
    dots[x / 8] = static_cast<std::uint8_t>(
        (s[0] > t[7]) << 7 | (s[1] > t[6]) << 6 | (s[2] > t[5]) << 5 | (s[3] > t[4]) << 4 |
        (s[4] > t[3]) << 3 | (s[5] > t[2]) << 2 | (s[6] > t[1]) << 1 | (s[7] > t[0]));
    c += 8;
    if (c == row.period) c = 0;
  }
  if (x == pixels) return;
  std::uint8_t byte = 0;
  for (std::uint32_t i = 0; x + i < pixels; ++i)
    if (samples[x + i] > row.cells[c + (i ^ 7)]) byte |= static_cast<std::uint8_t>(0x80 >> i);
  dots[x / 8] = byte;
}

// Codes of two pixels as one byte; code(x, c) gives pixel x at row entry c.
template <class Code>
void PackPixels(std::uint32_t pixels, std::uint8_t* dots, std::uint32_t period, Code code) {
  std::uint32_t x = 0, c = 0;
  const auto next = [&] {
    const int v = code(x++, c);
    if (++c == period) c = 0;
    return v;
  };
  for (; x + 1 < pixels; ++dots) {
    const int first = next();
    *dots = static_cast<std::uint8_t>(first << 4 | next());
  }
  if (x < pixels) *dots = static_cast<std::uint8_t>(next() << 4);
}

void PhotoLineT(const std::uint8_t* samples, std::uint32_t pixels, const PhotoPlane& plane,
                std::uint32_t y, std::uint8_t* dots) {
  const KernelRow row = plane.Row(y);
  PackPixels(pixels, dots, row.period, [&](std::uint32_t x, std::uint32_t c) {
    return (plane.curve()[samples[x]] + row.cells[c]) / 17;
  });
}

void VDotLineT(const std::uint8_t* samples, std::uint32_t pixels, const VDotPlane& plane,
               std::uint32_t y, std::uint8_t* dots) {
  const KernelRow row = plane.Row(y);
  PackPixels(pixels, dots, row.period, [&](std::uint32_t x, std::uint32_t c) {
    const int key = plane.keys()[samples[x]], codes = plane.codes()[samples[x]];
    // Without branches: the samples of a photograph make them unpredictable.
    const std::uint8_t* cell = row.cells + c;
    const int within = codes >> 4 * (key < cell[0]) & 15;
    return (within | (-(key > cell[2 * row.stride]) & 15)) & -(key >= cell[row.stride]);
  });
}

void GenerateBlackT(std::uint8_t* c, std::uint8_t* m, std::uint8_t* y, std::uint8_t* k,
                    std::uint32_t pixels) {
  for (std::uint32_t x = 0; x < pixels; ++x) {
    k[x] = std::min({c[x], m[x], y[x]});
    if (k[x] == 255) c[x] = m[x] = y[x] = 0;
  }
}

int AllBytesZeroT(const std::uint8_t* bytes, int length) {
  // Eight bytes a step while eight remain, then byte by byte.
  for (; length > 7; bytes += 8, length -= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if (word != 0) return 0;
  }
  for (; length > 0; --length)
    if (*bytes++) return 0;
  return 1;
}

#else  // vector targets

// Vectors of at most kMaxVectorBytes bytes, which the rows' slack allows for.
using D8 = hn::CappedTag<std::uint8_t, kMaxVectorBytes>;
using V8 = hn::Vec<D8>;
using D16 = hn::Repartition<std::uint16_t, D8>;

#if HWY_TARGET == HWY_AVX3_DL
// A 256-entry byte table in four registers, looked up with two 128-entry
// byte permutes and a blend on bit 7 of the index.
class Table256 {
 public:
  explicit Table256(const std::uint8_t* t)
      : t0_(_mm512_loadu_si512(t)),
        t1_(_mm512_loadu_si512(t + 64)),
        t2_(_mm512_loadu_si512(t + 128)),
        t3_(_mm512_loadu_si512(t + 192)) {}
  V8 operator()(V8 i) const {
    const __m512i low = _mm512_permutex2var_epi8(t0_, i.raw, t1_);
    const __m512i high = _mm512_permutex2var_epi8(t2_, i.raw, t3_);
    return V8{_mm512_mask_blend_epi8(_mm512_movepi8_mask(i.raw), low, high)};
  }

 private:
  __m512i t0_, t1_, t2_, t3_;
};
#else
// A 256-entry byte table, looked up with a 16-entry byte shuffle per high
// nibble of the index.
class Table256 {
 public:
  explicit Table256(const std::uint8_t* t) : table_(t) {}
  V8 operator()(V8 i) const {
    const D8 d;
    const V8 low = hn::And(i, hn::Set(d, 15));
    const V8 high = hn::ShiftRight<4>(i);
    V8 r = hn::TableLookupBytes(hn::LoadDup128(d, table_), low);
    for (int h = 1; h < 16; ++h)
      r = hn::IfThenElse(hn::Eq(high, hn::Set(d, static_cast<std::uint8_t>(h))),
                         hn::TableLookupBytes(hn::LoadDup128(d, table_ + 16 * h), low), r);
    return r;
  }

 private:
  const std::uint8_t* table_;
};
#endif

// Runs step(in, cells, out) over the line in blocks of `block` pixels, the
// last partial block through zero-filled copies; kBits is the bits of one
// pixel in the dot row.  The row position follows the pixel index.
template <int kBits, class Step>
HWY_INLINE void Blocks(const std::uint8_t* samples, std::uint32_t pixels, KernelRow row,
                       std::uint8_t* dots, std::uint32_t block, Step step) {
  const std::uint32_t advance = block % row.period;
  std::uint32_t x = 0, c = 0;
  for (; x + block <= pixels; x += block) {
    step(samples + x, row.cells + c, dots + x * kBits / 8);
    c += advance;
    if (c >= row.period) c -= row.period;
  }
  if (x == pixels) return;
  const std::uint32_t rest = pixels - x, bytes = (rest * kBits + 7) / 8;
  HWY_ALIGN std::uint8_t in[2 * kMaxVectorBytes] = {};
  HWY_ALIGN std::uint8_t out[2 * kMaxVectorBytes];
  std::memcpy(in, samples + x, rest);
  step(in, row.cells + c, out);
  if (kBits == 4 && rest % 2) out[bytes - 1] &= 0xF0;
  std::memcpy(dots + x * kBits / 8, out, bytes);
}

void ScreenLineT(const std::uint8_t* samples, std::uint32_t pixels, KernelRow row,
                 std::uint8_t* dots) {
  // Samples reversed within each group of eight, as the thresholds are.
  alignas(16) static constexpr std::uint8_t kReverse[16] = {7,  6,  5,  4,  3,  2,  1, 0,
                                                            15, 14, 13, 12, 11, 10, 9, 8};
  const D8 d;
  const V8 reverse = hn::LoadDup128(d, kReverse);
  Blocks<1>(samples, pixels, row, dots, static_cast<std::uint32_t>(hn::Lanes(d)),
            [&](const std::uint8_t* s, const std::uint8_t* t, std::uint8_t* out) {
              const V8 v = hn::TableLookupBytes(hn::LoadU(d, s), reverse);
              hn::StoreMaskBits(d, hn::Gt(v, hn::LoadU(d, t)), out);
            });
}

// Two vectors of 4-bit codes, two to a byte, first pixel in the high nibble.
// Codes are at most 15, so shifting 16-bit lanes moves no bit across a byte.
HWY_INLINE V8 PackCodes(D8 d, V8 first, V8 second) {
  const D16 dw;
  const auto even = hn::BitCast(dw, hn::ConcatEven(d, second, first));
  const auto odd = hn::BitCast(dw, hn::ConcatOdd(d, second, first));
  return hn::BitCast(d, hn::Or(hn::ShiftLeft<4>(even), odd));
}

// The photo codes (curve[s] + raise) / 17 of one vector of pixels, two to a
// 16-bit lane as the output byte: x * 3856 >> 16 is x / 17 for x up to 272.
HWY_INLINE hn::Vec<D16> PhotoPairs(D8 d, const Table256& curve, const std::uint8_t* s,
                                   const std::uint8_t* raise) {
  const D16 dw;
  const auto v = hn::BitCast(dw, curve(hn::LoadU(d, s)));
  const auto u = hn::BitCast(dw, hn::LoadU(d, raise));
  const auto low = hn::Set(dw, 0xFF), div17 = hn::Set(dw, 3856);
  const auto even = hn::MulHigh(hn::Add(hn::And(v, low), hn::And(u, low)), div17);
  const auto odd = hn::MulHigh(hn::Add(hn::ShiftRight<8>(v), hn::ShiftRight<8>(u)), div17);
  return hn::Or(hn::ShiftLeft<4>(even), odd);
}

void PhotoLineT(const std::uint8_t* samples, std::uint32_t pixels, const PhotoPlane& plane,
                std::uint32_t y, std::uint8_t* dots) {
  const D8 d;
  const std::uint32_t n = static_cast<std::uint32_t>(hn::Lanes(d));
  const Table256 curve(plane.curve());
  Blocks<4>(samples, pixels, plane.Row(y), dots, 2 * n,
            [&](const std::uint8_t* s, const std::uint8_t* t, std::uint8_t* out) {
              const auto first = hn::BitCast(d, PhotoPairs(d, curve, s, t));
              const auto second = hn::BitCast(d, PhotoPairs(d, curve, s + n, t + n));
              hn::StoreU(hn::ConcatEven(d, second, first), d, out);
            });
}

// The variable-dot codes of one vector of pixels (see VDotPlane).
HWY_INLINE V8 VDotCodes(D8 d, const Table256& keys, const Table256& both, const std::uint8_t* s,
                        const std::uint8_t* cells, std::uint32_t stride) {
  const V8 v = hn::LoadU(d, s), key = keys(v), codes = both(v);
  const V8 cell = hn::LoadU(d, cells), first = hn::LoadU(d, cells + stride),
           last = hn::LoadU(d, cells + 2 * stride);
  const D16 dw;
  const V8 previous = hn::BitCast(d, hn::ShiftRight<4>(hn::BitCast(dw, codes)));
  V8 code = hn::And(hn::IfThenElse(hn::Lt(key, cell), previous, codes), hn::Set(d, 15));
  code = hn::IfThenZeroElse(hn::Lt(key, first), code);
  return hn::IfThenElse(hn::Gt(key, last), hn::Set(d, 15), code);
}

void VDotLineT(const std::uint8_t* samples, std::uint32_t pixels, const VDotPlane& plane,
               std::uint32_t y, std::uint8_t* dots) {
  const D8 d;
  const std::uint32_t n = static_cast<std::uint32_t>(hn::Lanes(d));
  const Table256 keys(plane.keys()), codes(plane.codes());
  const KernelRow row = plane.Row(y);
  Blocks<4>(samples, pixels, row, dots, 2 * n,
            [&](const std::uint8_t* s, const std::uint8_t* t, std::uint8_t* out) {
              const V8 first = VDotCodes(d, keys, codes, s, t, row.stride);
              const V8 second = VDotCodes(d, keys, codes, s + n, t + n, row.stride);
              hn::StoreU(PackCodes(d, first, second), d, out);
            });
}

void GenerateBlackT(std::uint8_t* c, std::uint8_t* m, std::uint8_t* y, std::uint8_t* k,
                    std::uint32_t pixels) {
  const D8 d;
  const std::uint32_t n = static_cast<std::uint32_t>(hn::Lanes(d));
  std::uint32_t x = 0;
  for (; x + n <= pixels; x += n) {
    const V8 vc = hn::LoadU(d, c + x), vm = hn::LoadU(d, m + x), vy = hn::LoadU(d, y + x);
    const V8 vk = hn::Min(hn::Min(vc, vm), vy);
    hn::StoreU(vk, d, k + x);
    const auto full = hn::Eq(vk, hn::Set(d, 255));
    if (hn::AllFalse(d, full)) continue;
    hn::StoreU(hn::IfThenZeroElse(full, vc), d, c + x);
    hn::StoreU(hn::IfThenZeroElse(full, vm), d, m + x);
    hn::StoreU(hn::IfThenZeroElse(full, vy), d, y + x);
  }
  for (; x < pixels; ++x) {
    k[x] = std::min({c[x], m[x], y[x]});
    if (k[x] == 255) c[x] = m[x] = y[x] = 0;
  }
}

int AllBytesZeroT(const std::uint8_t* bytes, int length) {
  if (length <= 0) return 1;
  const D8 d;
  const std::size_t n = hn::Lanes(d), size = static_cast<std::size_t>(length);
  const V8 zero = hn::Zero(d);
  std::size_t x = 0;
  // Four vectors a test while they last, then single ones; the last partial
  // vector is the line's last n bytes, overlapping the ones before.
  for (; x + 4 * n <= size; x += 4 * n) {
    const V8 any = hn::Or(hn::Or(hn::LoadU(d, bytes + x), hn::LoadU(d, bytes + x + n)),
                          hn::Or(hn::LoadU(d, bytes + x + 2 * n), hn::LoadU(d, bytes + x + 3 * n)));
    if (!hn::AllTrue(d, hn::Eq(any, zero))) return 0;
  }
  for (; x + n <= size; x += n)
    if (!hn::AllTrue(d, hn::Eq(hn::LoadU(d, bytes + x), zero))) return 0;
  if (size >= n) return hn::AllTrue(d, hn::Eq(hn::LoadU(d, bytes + size - n), zero));
  for (; x < size; ++x)
    if (bytes[x]) return 0;
  return 1;
}

#endif  // vector targets

std::int64_t TargetT() { return HWY_TARGET; }

}  // namespace HWY_NAMESPACE
}  // namespace zelt_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace zelt_kernels {
HWY_EXPORT(ScreenLineT);
HWY_EXPORT(PhotoLineT);
HWY_EXPORT(VDotLineT);
HWY_EXPORT(GenerateBlackT);
HWY_EXPORT(AllBytesZeroT);
HWY_EXPORT(TargetT);
}  // namespace zelt_kernels

using namespace zelt_kernels;  // the dispatch tables

void ScreenLine(const std::uint8_t* samples, std::uint32_t pixels, KernelRow row,
                std::uint8_t* dots) {
  HWY_DYNAMIC_DISPATCH(ScreenLineT)(samples, pixels, row, dots);
}

void PhotoLine(const std::uint8_t* samples, std::uint32_t pixels, const PhotoPlane& plane,
               std::uint32_t y, std::uint8_t* dots) {
  HWY_DYNAMIC_DISPATCH(PhotoLineT)(samples, pixels, plane, y, dots);
}

void VDotLine(const std::uint8_t* samples, std::uint32_t pixels, const VDotPlane& plane,
              std::uint32_t y, std::uint8_t* dots) {
  HWY_DYNAMIC_DISPATCH(VDotLineT)(samples, pixels, plane, y, dots);
}

void GenerateBlack(std::uint8_t* c, std::uint8_t* m, std::uint8_t* y, std::uint8_t* k,
                   std::uint32_t pixels) {
  HWY_DYNAMIC_DISPATCH(GenerateBlackT)(c, m, y, k, pixels);
}

int AllBytesZero(const std::uint8_t* bytes, int length) {
  return HWY_DYNAMIC_DISPATCH(AllBytesZeroT)(bytes, length);
}

std::vector<std::int64_t> KernelTargets() {
  std::vector<std::int64_t> targets;
  for (std::int64_t t = HWY_TARGETS & hwy::SupportedTargets(); t != 0; t &= t - 1)
    targets.push_back(t & -t);
  return targets;
}

void UseKernelTarget(std::int64_t target) {
  hwy::SetSupportedTargetsForTest(target);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
}

std::int64_t ActiveKernelTarget() { return HWY_DYNAMIC_DISPATCH(TargetT)(); }

const char* KernelTargetName(std::int64_t target) { return hwy::TargetName(target); }

#endif  // HWY_ONCE
