// tone_report: how the dither tables reproduce tone.
//
// For each standard matrix, the dot coverage (the share of cells whose
// threshold lies below the sample) at every sample 0..255; for each
// variable-dot plane, the mean dot code over one whole matrix tile at every
// sample, through the plane's adjustment, expansion and tone tables.  By
// default one line per table: a few points of the curve, whether it ever
// falls, and its largest jump between neighbouring samples set against the
// mean step.  With -v every sample follows.
//
// Usage: tone_report [-v]
#include <cstdio>
#include <cstring>
#include <vector>

#include "dither/table_catalog.h"

namespace {

// One summary line: the curve at 0, 64, 128, 192 and 255, whether it ever
// falls, and the largest rise between neighbouring samples (with the sample
// it rises to) against the mean rise over 0..255.
void Summarise(const char* name, const std::vector<double>& c, bool verbose) {
  int worst = 1;
  bool falls = false;
  for (int s = 1; s < 256; ++s) {
    if (c[s] < c[s - 1]) falls = true;
    if (c[s] - c[s - 1] > c[worst] - c[worst - 1]) worst = s;
  }
  const double mean = (c[255] - c[0]) / 255;
  const double jump = c[worst] - c[worst - 1];
  std::printf("%-20s %7.3f %7.3f %7.3f %7.3f %7.3f  %-5s %7.4f at %3d  %6.4f  %5.1f\n", name, c[0],
              c[64], c[128], c[192], c[255], falls ? "FALLS" : "rises", jump, worst, mean,
              mean > 0 ? jump / mean : 0.0);
  if (verbose)
    for (int s = 0; s < 256; ++s) std::printf("  %3d %8.4f\n", s, c[s]);
}

}  // namespace

int main(int argc, char** argv) {
  const bool verbose = argc > 1 && std::strcmp(argv[1], "-v") == 0;
  if (argc > 2 || (argc == 2 && !verbose)) {
    std::fprintf(stderr, "Usage: %s [-v]\n", argv[0]);
    return 1;
  }
  const char* header =
      "                        s=0    s=64   s=128   s=192   s=255  shape  max jump        mean  "
      "ratio\n";
  std::printf("Dot coverage of the standard matrices (share of cells printing)\n%s", header);
  for (const auto& t : kStandardScreens) Summarise(t.name, Coverage(t), verbose);
  std::printf("\nMean dot code (0..15) of the variable-dot planes over one tile\n%s", header);
  for (const auto& p : kVariableDotPlanes) Summarise(p.name, MeanCode(p), verbose);
  return 0;
}
