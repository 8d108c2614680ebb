// The vectorised halftoning kernels, the per-plane tables they read, and the
// blank test.
//
// Each kernel turns one line of one plane into its dot row.  It reads only
// `pixels` samples and writes exactly the dot row's bytes ((pixels + 7) / 8 for
// the 1-bit screen, (pixels + 1) / 2 for the 4-bit routines); the buffers need
// no padding and no alignment.  The results are byte for byte those of the
// plain routines in reference.cc.
//
// The per-plane tables are built once per page and plane from the tables the
// page binds, and only read while lines are halftoned, so one set may serve
// several threads; each page (and each job) owns its own.  Building allocates
// up to about 50 KB a plane and fails only when that fails or when the bound
// tables hold values the plain routines are not defined for.
//
// Every kernel is compiled for several instruction sets (SSE4, AVX2, AVX-512
// and AVX-512 with the byte permutes on x86; NEON and SVE on ARM; plain C++
// everywhere) and runs the best one the processor has, chosen on the first
// call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "dither/tables.h"

// One matrix row as a kernel reads it: the entry for pixel x is
// cells[x mod period] (for the 1-bit screen, with the bit order folded in, see
// ScreenPlane).  Entries from `period` on repeat the row, so a run of vectors
// starting anywhere below `period` reads contiguous memory.  A row with
// several values per cell (variable dot) holds each in a layer of its own,
// the next layer `stride` bytes on.
struct KernelRow {
  const std::uint8_t* cells;
  std::uint32_t period, stride;
};

// Bytes stored after each row's period: two vectors of the widest lanes the
// kernels use (they cap vectors at 64 bytes on every target).
inline constexpr std::uint32_t kMaxVectorBytes = 64;
inline constexpr std::uint32_t kRowSlack = 2 * kMaxVectorBytes;

// The rows of one matrix laid out for the kernels, one per matrix row.  Row
// is only for a successful Build.
class KernelRows {
 public:
  // cell(r, i, layer) gives entry i (0 to period + kRowSlack - 1) of the
  // layer of row r.
  template <class Cell>
  bool Build(std::uint32_t height, std::uint32_t period, std::uint32_t layers, Cell cell);
  KernelRow Row(std::uint32_t y) const {
    return {cells_.get() + static_cast<std::size_t>(y % height_) * layers_ * stride_, period_,
            stride_};
  }

 private:
  std::unique_ptr<std::uint8_t[]> cells_;
  std::uint32_t period_ = 0, stride_ = 0, height_ = 0, layers_ = 0;
};

// Ordered dither to 1 bit: a dot where the sample is greater than the
// threshold.  Each row is laid out over lcm(width, 8) pixels with the
// thresholds of every group of eight pixels stored last pixel first, so a
// vector compare of samples reversed the same way stores its mask bits in the
// printer's first-pixel-in-bit-7 order.
class ScreenPlane {
 public:
  // False when a size is not positive or a threshold lies outside 0..255 (no
  // matrix of ours); the caller keeps the plain routine then.
  bool Build(const std::int16_t* matrix, int width, int height);
  KernelRow Row(std::uint32_t y) const { return rows_.Row(y); }

 private:
  KernelRows rows_;
};

// Photo dither: the tone curve, then 16 levels with the matrix choosing
// between the two nearest.  The code of a pixel is
// (curve[s] + 16 - t) / 17 for a threshold t clamped to -1..16, the same as
// curve[s] / 17, raised by one where curve[s] mod 17 exceeds t; each row holds
// 16 - t per pixel.
class PhotoPlane {
 public:
  // False when a size is not positive.
  bool Build(const std::int16_t* matrix, int width, int height,
             std::span<const std::uint8_t, 256> curve);
  KernelRow Row(std::uint32_t y) const { return rows_.Row(y); }
  const std::uint8_t* curve() const { return curve_.data(); }

 private:
  KernelRows rows_;
  std::array<std::uint8_t, 256> curve_{};
};

// Variable-dot dither.  A cell of matrix value m gets the key C = m - 1, and a
// sample s the key K(s), both numbering the levels' ranks in one scale:
// level 1 of a four-plane page owns keys 0..15, every other level four keys.
// A cell prints 15 when K lies in a higher level than C, 0 when in a lower
// one, and within the same level the low nibble of codes[s] where K >= C, else
// its high nibble (the previous step's code).  The rows hold three layers:
// C, and the first and last key of C's level.
class VDotPlane {
 public:
  // False when a size is not positive, a matrix value lies outside 1..256 or
  // a reachable tone step has a code above 15.
  bool Build(const std::int16_t* matrix, int width, int height, const std::int16_t* adjust,
             const std::int16_t* expand, const ToneEntry* tone, std::int16_t base,
             bool four_planes);
  KernelRow Row(std::uint32_t y) const { return rows_.Row(y); }
  const std::uint8_t* keys() const { return keys_.data(); }
  const std::uint8_t* codes() const { return codes_.data(); }

 private:
  KernelRows rows_;
  std::array<std::uint8_t, 256> keys_{}, codes_{};
};

// The kernels.  Lines of any length, from 0 pixels up.
void ScreenLine(const std::uint8_t* samples, std::uint32_t pixels, KernelRow row,
                std::uint8_t* dots);
void PhotoLine(const std::uint8_t* samples, std::uint32_t pixels, const PhotoPlane& plane,
               std::uint32_t y, std::uint8_t* dots);
void VDotLine(const std::uint8_t* samples, std::uint32_t pixels, const VDotPlane& plane,
              std::uint32_t y, std::uint8_t* dots);

// Black generation of a four-plane variable-dot page, in place: k = the
// smallest of c, m and y; where k is 255, c, m and y become 0.  The four bands
// must not overlap.
void GenerateBlack(std::uint8_t* c, std::uint8_t* m, std::uint8_t* y, std::uint8_t* k,
                   std::uint32_t pixels);

// 1 when every one of the length bytes is zero, else 0; a length of 0 or less
// counts as blank.
int AllBytesZero(const std::uint8_t* bytes, int length);

// Dispatch, for tests and benchmarks: the instruction sets compiled in that
// this processor runs, best first; restricting every kernel to one of them
// (0 lifts the restriction; process-wide, so only while no other thread runs a
// kernel); the one a kernel call uses now; and a set's name.
std::vector<std::int64_t> KernelTargets();
void UseKernelTarget(std::int64_t target);
std::int64_t ActiveKernelTarget();
const char* KernelTargetName(std::int64_t target);

template <class Cell>
bool KernelRows::Build(std::uint32_t height, std::uint32_t period, std::uint32_t layers,
                       Cell cell) {
  period_ = period;
  stride_ = period + kRowSlack;
  height_ = height;
  layers_ = layers;
  cells_.reset(new (std::nothrow)
                   std::uint8_t[static_cast<std::size_t>(height) * layers * stride_]);
  if (!cells_) return false;
  std::uint8_t* out = cells_.get();
  for (std::uint32_t r = 0; r < height; ++r)
    for (std::uint32_t layer = 0; layer < layers; ++layer)
      for (std::uint32_t i = 0; i < stride_; ++i) *out++ = cell(r, i, layer);
  return true;
}
