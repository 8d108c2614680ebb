// The per-plane tables of the halftoning kernels, built from the tables a
// page binds.  Each follows the plain routine's arithmetic for one sample or
// one cell, so a kernel only looks values up and compares them.
#include <algorithm>
#include <numeric>

#include "dither/kernels.h"
#include "dither/vdot_code.h"

namespace {

bool Sized(int width, int height) { return width > 0 && height > 0; }

// Every entry of a width x height matrix within lo..hi.
bool Within(const std::int16_t* matrix, int width, int height, int lo, int hi) {
  return std::all_of(matrix, matrix + static_cast<std::size_t>(width) * height,
                     [=](std::int16_t v) { return v >= lo && v <= hi; });
}

}  // namespace

bool ScreenPlane::Build(const std::int16_t* matrix, int width, int height) {
  if (!Sized(width, height) || !Within(matrix, width, height, 0, 255)) return false;
  const auto w = static_cast<std::uint32_t>(width);
  // i ^ 7 reverses i within its group of eight.
  return rows_.Build(height, std::lcm(w, 8u), 1, [=](std::uint32_t r, std::uint32_t i, auto) {
    return static_cast<std::uint8_t>(matrix[r * w + (i ^ 7) % w]);
  });
}

bool PhotoPlane::Build(const std::int16_t* matrix, int width, int height,
                       std::span<const std::uint8_t, 256> curve) {
  if (!Sized(width, height)) return false;
  std::copy(curve.begin(), curve.end(), curve_.begin());
  // A remainder (0..16) exceeds every threshold below 0 and none above 15.
  const auto w = static_cast<std::uint32_t>(width);
  return rows_.Build(height, w, 1, [=](std::uint32_t r, std::uint32_t i, auto) {
    return static_cast<std::uint8_t>(16 - std::clamp<int>(matrix[r * w + i % w], -1, 16));
  });
}

bool VDotPlane::Build(const std::int16_t* matrix, int width, int height, const std::int16_t* adjust,
                      const std::int16_t* expand, const ToneEntry* tone, std::int16_t base,
                      bool four_planes) {
  if (!Sized(width, height) || !Within(matrix, width, height, 1, 256)) return false;

  // Per sample: the step of the tone table and the fine part, with the 16-bit
  // arithmetic of VDotCode, then the sample's key and its step's two codes.
  for (int s = 0; s < 256; ++s) {
    keys_[s] = codes_[s] = 0;  // code 0 in every cell
    const std::int16_t a = adjust[s];
    if (a == 0) continue;
    const auto [step, fine] = StepOf(static_cast<std::int16_t>(expand[a] - 1), base, four_planes);
    const int level = tone[step][0];
    if (level == 0) continue;  // below every cell's level
    if (step < 1) return false;

    int key, previous, current;
    if (four_planes && level == 1) {
      const int j = (fine >> 4) & 15;
      key = fine & 15;
      previous = tone[j][1];
      current = tone[j + 1][1];
    } else {
      key = (four_planes ? 16 + 4 * (level - 2) : 4 * (level - 1)) + (fine & 3);
      previous = tone[step - 1][0] == level ? tone[step - 1][1] : 0;
      current = tone[step][1];
      if (key > 255) key = 255, previous = current = 15;  // above every cell's level
    }
    if (previous > 15 || current > 15) return false;
    keys_[s] = static_cast<std::uint8_t>(key);
    codes_[s] = static_cast<std::uint8_t>(previous << 4 | current);
  }

  // Per cell: its key, and the first and last key of its level.
  const auto w = static_cast<std::uint32_t>(width);
  return rows_.Build(height, w, 3, [=](std::uint32_t r, std::uint32_t i, std::uint32_t layer) {
    const int key = matrix[r * w + i % w] - 1;
    const bool first_level = four_planes && key < 16;
    const int level_key[3] = {key, first_level ? 0 : key & ~3, first_level ? 15 : key | 3};
    return static_cast<std::uint8_t>(level_key[layer]);
  });
}
