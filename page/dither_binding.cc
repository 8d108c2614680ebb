#include "page/dither_binding.h"

#include <cmath>

#include "page/page.h"

namespace {

// A matrix with the dimensions it is bound with; Screen<W, H> only accepts a
// table of W x H entries.
struct Screen {
  const std::int16_t* data;
  int width, height;
};
template <int W, int H>
constexpr Screen Sized(const DitherMatrix<W, H>& matrix) {
  return {matrix.data(), W, H};
}

void BindMatrix(Page& page, int plane, Screen screen) {
  page.DitherData[plane] = screen.data;
  page.DitherWidth[plane] = screen.width;
  page.DitherHeight[plane] = screen.height;
}

template <std::size_t N>
void BindVariableDot(Page& page, int plane, Screen matrix, const std::array<ToneEntry, N>& tone,
                     const Curve256& adjust, const Curve256& expand) {
  BindMatrix(page, plane, matrix);
  page.DitherTone[plane] = tone.data();
  page.DitherAdjust[plane] = adjust.data();
  page.DitherExpand[plane] = expand.data();
}

// The photo tone curves: 255 x (i/255)^gamma, truncated, per plane (yellow,
// magenta, cyan).
void BuildPhotoCurves(Page& page) {
  constexpr std::array<double, 3> kGamma = {1.21, 1.0, 1.14};
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < 256; ++i)
      page.DitherLUTs[p][i] =
          p == 1 ? static_cast<std::uint8_t>(i)
                 : static_cast<std::uint8_t>(255.0 * std::pow(i / 255.0, kGamma[p]));
}

void BindPhoto(Page& page) {
  BuildPhotoCurves(page);
  for (int p = 0; p < 3; ++p) BindMatrix(page, p, Sized<17, 17>(ContoneAllDither));
}

void BindVariableDotPage(Page& page) {
  const bool alternate_media = page.header.cupsMediaType - 16u <= 1u;
  if (page.PrinterPlanes == 1) {
    if (alternate_media) {
      BindVariableDot(page, 0, Sized<74, 74>(VDitherGray100), VToneGray100, VAdjustGray100,
                      VExpandGray100);
      page.DitherBases = VBases100.data();
    } else {
      BindVariableDot(page, 0, Sized<26, 26>(VDitherGray160), VToneGray160, VAdjustGray160,
                      VExpandGray160);
      page.DitherBases = VBases160.data();
    }
  } else if (alternate_media) {
    BindVariableDot(page, 0, Sized<40, 40>(VDitherCyan190), VToneCyan190, VAdjustCyan190,
                    VExpandCyan190);
    BindVariableDot(page, 1, Sized<40, 40>(VDitherMagenta190), VToneMagenta190, VAdjustMagenta190,
                    VExpandMagenta190);
    BindVariableDot(page, 2, Sized<12, 12>(VDitherYellow190), VToneYellow190, VAdjustYellow190,
                    VExpandYellow190);
    BindVariableDot(page, 3, Sized<24, 24>(VDitherBlack190), VToneBlack190, VAdjustBlack190,
                    VExpandBlack190);
    page.DitherBases = VBases190.data();
  } else {
    BindVariableDot(page, 0, Sized<68, 68>(VDitherCyan145), VToneCyan145, VAdjustCyan145,
                    VExpandCyan145);
    BindVariableDot(page, 1, Sized<64, 64>(VDitherMagenta145), VToneMagenta145, VAdjustMagenta145,
                    VExpandMagenta145);
    BindVariableDot(page, 2, Sized<24, 24>(VDitherYellow145), VToneYellow145, VAdjustYellow145,
                    VExpandYellow145);
    BindVariableDot(page, 3, Sized<64, 32>(VDitherBlack145), VToneBlack145, VAdjustBlack145,
                    VExpandBlack145);
    page.DitherBases = VBases145.data();
  }
}

// One family of standard screens.
void BindStandardFamily(Page& page, Screen cyan, Screen magenta, Screen yellow, Screen black) {
  if (page.PrinterPlanes == 1) {
    BindMatrix(page, 0, black);
  } else if (page.PrinterColors == ColorMode::kGoldBlack ||
             page.PrinterColors == ColorMode::kGoldSilver) {
    // The gold ink sets print every plane through the black screen.
    for (int p = 0; p < 4; ++p) BindMatrix(page, p, black);
  } else {
    BindMatrix(page, 0, cyan);
    BindMatrix(page, 1, magenta);
    BindMatrix(page, 2, yellow);
    BindMatrix(page, 3, black);
  }
}

void BindStandard(StatusLog& log, Page& page) {
  // The printer has screens for 300, 600 and 1200 dpi.  Any other resolution
  // gets the nearest family, so no page ever runs without a bound matrix.
  const unsigned dpi = page.header.HWResolution[0];
  if (dpi != 300 && dpi != 600 && dpi != 1200)
    Report(log, "DEBUG: No screens for %u dpi, using the %s ones\n", dpi,
           dpi < 450   ? "300 dpi"
           : dpi < 900 ? "600 dpi"
                       : "1200 dpi");
  if (dpi < 450)
    BindStandardFamily(page, Sized<8, 8>(MediumCyanDither), Sized<30, 30>(MediumMagentaDither),
                       Sized<9, 9>(MediumYellowDither), Sized<30, 30>(MediumBlackDither));
  else if (dpi < 900)
    BindStandardFamily(page, Sized<12, 18>(FineCyanDither), Sized<68, 68>(FineMagentaDither),
                       Sized<10, 15>(FineYellowDither), Sized<68, 68>(FineBlackDither));
  else
    BindStandardFamily(page, Sized<24, 18>(Fine2CyanDither), Sized<136, 68>(Fine2MagentaDither),
                       Sized<20, 15>(Fine2YellowDither), Sized<136, 68>(Fine2BlackDither));
}

// Lays out plane p's bound tables for its routine's kernel.
bool PreparePlane(Page& page, int p) {
  const std::int16_t* matrix = page.DitherData[p];
  const int width = page.DitherWidth[p], height = page.DitherHeight[p];
  switch (Facts(page.PrinterColors).routine) {
    case Routine::kPhoto:
      return page.photo_planes[p].Build(matrix, width, height, page.DitherLUTs[p]);
    case Routine::kVariableDot: {
      const bool four_planes = page.PrinterPlanes > 1;
      return page.vdot_planes[p].Build(
          matrix, width, height, page.DitherAdjust[p], page.DitherExpand[p], page.DitherTone[p],
          four_planes ? page.DitherBases[p] : std::int16_t{0}, four_planes);
    }
    case Routine::kStandard:
      break;
  }
  return page.screen_planes[p].Build(matrix, width, height);
}

}  // namespace

void BindDitherTables(StatusLog& log, Page& page) {
  switch (Facts(page.PrinterColors).routine) {
    case Routine::kPhoto:
      BindPhoto(page);
      break;
    case Routine::kVariableDot:
      BindVariableDotPage(page);
      break;
    case Routine::kStandard:
      BindStandard(log, page);
      break;
  }
  page.kernels_ready = true;
  for (int p = 0; p < page.PrinterPlanes; ++p)
    page.kernels_ready = PreparePlane(page, p) && page.kernels_ready;
}
