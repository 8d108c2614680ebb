#include "page/color_mode.h"

#include <cups/raster.h>

ModeDecision DecideColorMode(std::uint32_t color_space, std::uint32_t compression) {
  switch (color_space) {
    case CUPS_CSPACE_K:
      return {1, compression == 0 ? ColorMode::kVariableDot : ColorMode::kProcess};
    case CUPS_CSPACE_CMY:
      return {4, ColorMode::kVariableDot};
    case CUPS_CSPACE_YMC:
      return {3, ColorMode::kPhoto};
    case CUPS_CSPACE_GMCK:
      return {4, ColorMode::kGoldBlack};
    case CUPS_CSPACE_GMCS:
      return {4, ColorMode::kGoldSilver};
    case CUPS_CSPACE_WHITE:
      return {1, ColorMode::kWhite};
    default:  // CMYK, YMCK, KCMY, KCMYcm and every unlisted space
      return {4, ColorMode::kProcess};
  }
}

Ink InkOf(ColorMode mode, int planes, int plane) {
  if (planes == 1 && mode != ColorMode::kWhite) return Ink::kBlack;
  return Facts(mode).inks[plane];
}
