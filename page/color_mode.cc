#include "page/page_state.h"

void DecideColorMode(const cups_page_header_t& header, int& planes, int& colors) {
  // The colour space alone decides, with cupsCompression telling the two
  // one-plane uses of CUPS_CSPACE_K apart; unlisted spaces print as CMYK.
  switch (static_cast<unsigned>(header.cupsColorSpace)) {
    case CUPS_CSPACE_K:
      planes = 1;
      colors = header.cupsCompression == 0 ? kModeVariableDot : kModeProcess;
      break;
    case CUPS_CSPACE_CMY:
      planes = 4;
      colors = kModeVariableDot;
      break;
    case CUPS_CSPACE_YMC:
      planes = 3;
      colors = kModePhoto;
      break;
    case CUPS_CSPACE_CMYK:
    case CUPS_CSPACE_YMCK:
    case CUPS_CSPACE_KCMY:
    case CUPS_CSPACE_KCMYcm:
      planes = 4;
      colors = kModeProcess;
      break;
    case CUPS_CSPACE_GMCK:
      planes = 4;
      colors = kModeGoldBlack;
      break;
    case CUPS_CSPACE_GMCS:
      planes = 4;
      colors = kModeGoldSilver;
      break;
    case CUPS_CSPACE_WHITE:
      planes = 1;
      colors = kModeWhite;
      break;
    default:
      planes = 4;
      colors = kModeProcess;
      break;
  }
}
