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

#include "dither/tables.h"
#include "dither/vdot_code.h"

namespace {

struct StandardTable {
  const char* name;
  const std::int16_t* data;
  int width, height;
};

struct VDotPlane {
  const char* name;
  const std::int16_t* matrix;
  int width, height;
  const std::int16_t* adjust;
  const std::int16_t* expand;
  const ToneEntry* tone;
  std::int16_t base;
  bool four_planes;
};

#define STANDARD(t, w, h) \
  StandardTable { #t, t.data(), w, h }
const StandardTable kStandard[] = {
    STANDARD(MediumCyanDither, 8, 8),    STANDARD(MediumMagentaDither, 30, 30),
    STANDARD(MediumYellowDither, 9, 9),  STANDARD(MediumBlackDither, 30, 30),
    STANDARD(FineCyanDither, 12, 18),    STANDARD(FineMagentaDither, 68, 68),
    STANDARD(FineYellowDither, 10, 15),  STANDARD(FineBlackDither, 68, 68),
    STANDARD(Fine2CyanDither, 24, 18),   STANDARD(Fine2MagentaDither, 136, 68),
    STANDARD(Fine2YellowDither, 20, 15), STANDARD(Fine2BlackDither, 136, 68),
};
#undef STANDARD

#define PLANE(colour, set, w, h, plane, four)                                            \
  VDotPlane {                                                                            \
#colour #set, VDither##colour##set.data(), w, h, VAdjust##colour##set.data(),        \
        VExpand##colour##set.data(), VTone##colour##set.data(), VBases##set[plane], four \
  }
const VDotPlane kPlanes[] = {
    PLANE(Gray, 100, 74, 74, 0, false),  PLANE(Gray, 160, 26, 26, 0, false),
    PLANE(Cyan, 145, 68, 68, 0, true),   PLANE(Magenta, 145, 64, 64, 1, true),
    PLANE(Yellow, 145, 24, 24, 2, true), PLANE(Black, 145, 64, 32, 3, true),
    PLANE(Cyan, 190, 40, 40, 0, true),   PLANE(Magenta, 190, 40, 40, 1, true),
    PLANE(Yellow, 190, 12, 12, 2, true), PLANE(Black, 190, 24, 24, 3, true),
};
#undef PLANE

std::vector<double> Coverage(const StandardTable& t) {
  const int cells = t.width * t.height;
  std::vector<double> c(256);
  for (int s = 0; s < 256; ++s) {
    int dots = 0;
    for (int i = 0; i < cells; ++i) dots += (s > t.data[i]);
    c[s] = static_cast<double>(dots) / cells;
  }
  return c;
}

std::vector<double> MeanCode(const VDotPlane& p) {
  const int cells = p.width * p.height;
  std::vector<double> c(256);
  for (int s = 0; s < 256; ++s) {
    long sum = 0;
    for (int i = 0; i < cells; ++i)
      sum += VDotCode(p.adjust, p.expand, p.tone, p.base, p.four_planes,
                      static_cast<std::uint8_t>(s), p.matrix[i]);
    c[s] = static_cast<double>(sum) / cells;
  }
  return c;
}

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
  for (const auto& t : kStandard) Summarise(t.name, Coverage(t), verbose);
  std::printf("\nMean dot code (0..15) of the variable-dot planes over one tile\n%s", header);
  for (const auto& p : kPlanes) Summarise(p.name, MeanCode(p), verbose);
  return 0;
}
