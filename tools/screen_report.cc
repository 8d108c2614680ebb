// screen_report: how the dither screens hold up on paper.
//
// Everything is measured on printed tints: one tile of a screen at a flat
// sample, a dot where the sample exceeds the threshold, or on a variable-dot
// plane code / 15 of a full dot (dither/table_catalog.h).
//   - Per screen, at the smallest samples giving 5, 25, 50 and 75 to 90 % ink:
//     single-pixel dots per 1000 px (they print unreliably), dot edge per
//     inked pixel (where ink spreads on paper) and single-pixel gaps per
//     1000 px (they fill in unevenly).  Listed screens (the printer's own
//     values) are marked, so that a built screen reads against its siblings.
//   - Per pair of planes of every four-plane set, with every plane at inputs
//     of 25, 50, 75 and 90 % (black generated on the variable-dot sets): how
//     far the overlap of the two swings, in points, as one lands up to 3 px
//     off the other in either direction.
//   - Per pair and per set, the moire: the RMS, in points, of the overlap's
//     beats with a period over 1/20 inch, the worst of inputs 25, 50, 75 %.
//
// Usage: screen_report
#include <cstdio>

#include "dither/table_catalog.h"

namespace {

constexpr int kInputs[] = {64, 128, 191, 230};  // 25, 50, 75 and 90 %
constexpr char kInks[] = "CMYK";

// A figure, or "-" where the screen never reaches the tint it needs.
void Field(double value, const char* format) {
  if (value < 0)
    std::printf("%8s", "-");
  else
    std::printf(format, value);
}

void PrintFigures(const char* name, bool listed, const ScreenFigures& f) {
  std::printf("%-20s %-7s", name, listed ? "listed" : "built");
  Field(f.isolated_dots, "%8.1f");
  Field(f.edges25, "%8.2f");
  Field(f.edges50, "%8.2f");
  Field(f.single_gaps, "%8.1f");
  std::printf("\n");
}

// One line per pair of planes (one for all, where every plane has the same
// screen), then the set's worst moire.
void PrintSet(const FourPlaneSet& set) {
  std::array<std::array<Tint, 4>, 4> tints;
  for (int i = 0; i < 4; ++i) tints[i] = PrintNeutral(set, kInputs[i]);
  const bool one_screen = set.planes[0] == set.planes[1] && set.planes[1] == set.planes[2] &&
                          set.planes[2] == set.planes[3];
  std::printf("\n%s (%d x %d dpi)%s\n", set.name, set.dpi_x, set.dpi_y,
              one_screen ? ", one screen on every plane" : "");
  double worst = 0;
  char worst_pair[3] = "--";
  for (int p = 0; p < 4; ++p)
    for (int q = p + 1; q < 4; ++q) {
      if (one_screen && q > 1) continue;
      std::printf("  %c%c    ", kInks[p], kInks[q]);
      for (int i = 0; i < 4; ++i) std::printf("%7.2f", OverlapSpread(tints[i][p], tints[i][q]));
      double moire = 0;
      for (int i = 0; i < 3; ++i)
        moire =
            std::max(moire, Moire(tints[i][p], tints[i][q], set.dpi_x / 20.0, set.dpi_y / 20.0));
      std::printf("  %7.2f\n", moire);
      if (moire > worst) {
        worst = moire;
        worst_pair[0] = kInks[p];
        worst_pair[1] = kInks[q];
      }
    }
  std::printf("  moire of the set %.2f (%s)\n", worst, worst_pair);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "Usage: %s\n", argv[0]);
    return 1;
  }
  std::printf(
      "Screens: single dots /1000 px at 5 %% ink, edge per inked px at 25 %% and 50 %%,\n"
      "single gaps /1000 px at 75-90 %%\n");
  std::printf("%-28s%8s%8s%8s%8s\n", "", "dots", "edge25", "edge50", "gaps");
  for (const auto& t : kStandardScreens) PrintFigures(t.name, t.listed, Figures(t));
  for (const auto& p : kVariableDotPlanes) PrintFigures(p.name, p.listed, Figures(p));

  std::printf(
      "\nPairs of planes: overlap spread (points) under shifts of 0-3 px at inputs\n"
      "25, 50, 75 and 90 %%, and moire (points)\n");
  std::printf("  pair      25%%    50%%    75%%    90%%    moire\n");
  for (const auto& set : kFourPlaneSets) PrintSet(set);
  return 0;
}
