// The dot code of one cell of a variable-dot plane.
//
// A cell's matrix value m fixes its level L (the ring of dot growth it belongs
// to) and its rank R within that level.  As the tone rises the cells of level
// 1 run through the level-1 steps of the tone table up to code 15, then the
// cells of level 2, and so on; within the current level the rank decides
// whether a cell already shows the current step's code or still the previous
// one.  Every intermediate is a 16-bit signed value and the divisions by 4 and
// 16 are arithmetic shifts, as the printer's tables were made for.
#pragma once

#include <cstdint>

#include "dither/tables.h"

// The tone-table step an expanded value e (expansion minus one) reaches, and
// its fine part: four values a step on a single-plane page; on a four-plane
// page sixteen a step below the plane's base and four a step above it.
struct VDotStep {
  std::int16_t step, fine;
};
constexpr VDotStep StepOf(std::int16_t e, std::int16_t base, bool four_planes) {
  if (!four_planes) return {static_cast<std::int16_t>((e >> 2) + 1), e};
  if (e < base) return {static_cast<std::int16_t>((e >> 4) + 1), e};
  const auto fine = static_cast<std::int16_t>(e - base);
  return {static_cast<std::int16_t>((base >> 4) + (fine >> 2) + 1), fine};
}

// Code 0..15 for a sample through adjustment A, expansion E and tone table T
// at a cell of matrix value m (1..N).  base is the plane's tone base, read on
// four-plane pages only.
//
// On a single-plane page a level-1 cell meeting a level-1 step uses the same
// within-level rule as every later level (four ranks, four expanded values a
// step), so the grey tone walks through every level-1 step of its table.
constexpr int VDotCode(const std::int16_t* A, const std::int16_t* E, const ToneEntry* T,
                       std::int16_t base, bool four_planes, std::uint8_t sample, std::int16_t m) {
  const std::int16_t a = A[sample];
  if (a == 0) return 0;

  std::int16_t level, rank;
  if (four_planes && m - 1 <= 15) {
    level = 1;
    rank = static_cast<std::int16_t>(m - 1);
  } else if (four_planes) {
    level = static_cast<std::int16_t>(((m - 17) >> 2) + 2);
    rank = static_cast<std::int16_t>(m - 17);
  } else {
    level = static_cast<std::int16_t>(((m - 1) >> 2) + 1);
    rank = static_cast<std::int16_t>(m - 1);
  }

  const std::int16_t e = static_cast<std::int16_t>(E[a] - 1);
  const auto [step, fine] = StepOf(e, base, four_planes);

  const int step_level = T[step][0];
  if (step_level > level) return 15;
  if (step_level < level) return 0;

  if (four_planes && level == 1) {
    const int j = (fine >> 4) & 15;
    return (fine & 15) < rank ? T[j][1] : T[j + 1][1];
  }
  if ((fine & 3) < (rank & 3)) return T[step - 1][0] == step_level ? T[step - 1][1] : 0;
  return T[step][1];
}
