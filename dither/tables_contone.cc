// The photo-mode matrix: thresholds 1 to 17 that choose, per pixel, between
// the two dot codes nearest a sample.  No cell holds 0, so a remainder of 0
// or 1 never raises a code.
#include "dither/screen_builder.h"
#include "dither/tables.h"

constexpr DitherMatrix<17, 17> ContoneAllDither = {
    1,  14, 4,  13, 1,  14, 4,  10, 5,  12, 15, 3,  6,  13, 7,  3,  15,  //
    12, 7,  16, 6,  12, 5,  12, 2,  14, 4,  8,  13, 9,  1,  17, 10, 6,   //
    3,  11, 2,  11, 4,  17, 7,  15, 6,  17, 10, 2,  16, 11, 5,  9,  16,  //
    13, 5,  17, 7,  14, 8,  2,  9,  11, 1,  6,  14, 7,  3,  14, 2,  10,  //
    8,  15, 3,  13, 1,  10, 16, 4,  15, 8,  15, 4,  10, 17, 5,  13, 4,   //
    1,  10, 9,  5,  15, 6,  11, 9,  3,  13, 2,  12, 8,  1,  11, 8,  17,  //
    13, 5,  17, 11, 3,  14, 2,  17, 10, 7,  16, 5,  13, 6,  15, 3,  9,   //
    3,  12, 2,  6,  12, 7,  13, 5,  12, 4,  9,  14, 4,  16, 10, 6,  15,  //
    14, 8,  16, 9,  15, 3,  8,  16, 1,  15, 8,  1,  12, 7,  2,  12, 7,   //
    10, 4,  10, 1,  6,  17, 10, 5,  11, 6,  11, 17, 5,  15, 8,  17, 1,   //
    16, 6,  13, 8,  14, 9,  2,  14, 3,  13, 2,  9,  12, 3,  11, 4,  11,  //
    3,  14, 2,  16, 3,  7,  13, 7,  17, 5,  15, 4,  10, 16, 5,  15, 8,   //
    6,  11, 9,  7,  10, 17, 4,  11, 1,  12, 8,  14, 1,  7,  13, 2,  14,  //
    17, 1,  15, 4,  12, 1,  14, 6,  16, 9,  3,  9,  17, 11, 5,  12, 7,   //
    10, 12, 5,  13, 6,  15, 5,  11, 4,  12, 6,  13, 6,  4,  16, 9,  2,   //
    7,  3,  16, 2,  10, 3,  13, 2,  15, 8,  17, 2,  9,  14, 1,  8,  16,  //
    12, 8,  10, 8,  17, 9,  7,  16, 9,  1,  7,  11, 16, 4,  11, 14, 5};

namespace {

// Every value 1..17 exactly 17 times.
constexpr bool EachThresholdSeventeenTimes() {
  for (int v = 1; v <= 17; ++v)
    if (screen::CountOf(ContoneAllDither, v) != 17) return false;
  return true;
}
static_assert(screen::AllWithin(ContoneAllDither, 1, 17));
static_assert(EachThresholdSeventeenTimes());

}  // namespace
