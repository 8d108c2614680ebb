#include "app/ink_bands.h"

#include <unistd.h>

#include <algorithm>
#include <array>

namespace zelt_app {

namespace {

struct ProfileDeleter {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileDeleter>;

Profile OpenProfile(const std::string& dir, const char* name, std::string* error) {
  const std::string path = dir + "/" + name;
  Profile p(cmsOpenProfileFromFile(path.c_str(), "r"));
  if (!p) *error = "Unable to read the colour profile " + path;
  return p;
}

std::uint8_t Clip(unsigned v) { return static_cast<std::uint8_t>(std::min(v, 255u)); }

}  // namespace

bool LineSpaceOf(const cups_page_header2_t& h, LineSpace* space) {
  if (h.cupsBitsPerColor != 8 || h.cupsColorOrder != CUPS_ORDER_CHUNKED) return false;
  switch (h.cupsColorSpace) {
    case CUPS_CSPACE_SW:
    case CUPS_CSPACE_W:
      *space = LineSpace::kGray;
      return h.cupsBitsPerPixel == 8;
    case CUPS_CSPACE_K:
      *space = LineSpace::kBlack;
      return h.cupsBitsPerPixel == 8;
    case CUPS_CSPACE_SRGB:
    case CUPS_CSPACE_RGB:
      *space = LineSpace::kRgb;
      return h.cupsBitsPerPixel == 24;
    case CUPS_CSPACE_CMYK:
      *space = LineSpace::kCmyk;
      return h.cupsBitsPerPixel == 32;
    default:
      return false;
  }
}

std::string FindProfileDirectory() {
  for (const char* dir : {"/usr/share/color/icc/ghostscript", "/usr/share/ghostscript/iccprofiles",
                          "/usr/local/share/ghostscript/iccprofiles"}) {
    const std::string probe = std::string(dir) + "/default_cmyk.icc";
    if (access(probe.c_str(), R_OK) == 0) return dir;
  }
  return "";
}

bool InkConverter::Open(const std::string& dir, LineSpace from, std::string* error) {
  from_ = from;
  if (from == LineSpace::kBlack) return true;  // device black needs no profile

  // Ghostscript renders with perceptual intent and black point compensation;
  // with the same profiles and settings Little CMS lands within one step of it.
  const cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION;
  const char* source_name = from == LineSpace::kGray  ? "default_gray.icc"
                            : from == LineSpace::kRgb ? "default_rgb.icc"
                                                      : "default_cmyk.icc";
  const cmsUInt32Number format = from == LineSpace::kGray  ? TYPE_GRAY_8
                                 : from == LineSpace::kRgb ? TYPE_RGB_8
                                                           : TYPE_CMYK_8;
  Profile source = OpenProfile(dir, source_name, error);
  Profile cmyk = OpenProfile(dir, "default_cmyk.icc", error);
  Profile gray = OpenProfile(dir, "default_gray.icc", error);
  if (!source || !cmyk || !gray) return false;
  if (from != LineSpace::kCmyk)
    to_cmyk_.reset(cmsCreateTransform(source.get(), format, cmyk.get(), TYPE_CMYK_8,
                                      INTENT_PERCEPTUAL, flags));
  if (from != LineSpace::kGray)
    to_gray_.reset(cmsCreateTransform(source.get(), format, gray.get(), TYPE_GRAY_8,
                                      INTENT_PERCEPTUAL, flags));
  if ((from != LineSpace::kCmyk && !to_cmyk_) || (from != LineSpace::kGray && !to_gray_)) {
    *error = "Unable to build the colour transforms from " + std::string(source_name);
    return false;
  }
  return true;
}

void InkConverter::Convert(const std::uint8_t* line, unsigned width, cups_cspace_t to,
                           std::uint8_t* bands, std::uint8_t* scratch) const {
  const std::size_t w = width;
  switch (to) {
    case CUPS_CSPACE_CMYK:
    case CUPS_CSPACE_GMCK:
    case CUPS_CSPACE_GMCS: {
      // Device CMYK, chunky in scratch, then banded.  The gold sets take the
      // yellow separation for gold and keep magenta, cyan and black: band
      // order Y, M, C, K, as the raster device writes them.
      const std::uint8_t* cmyk = scratch;
      if (from_ == LineSpace::kCmyk) {
        cmyk = line;
      } else if (from_ == LineSpace::kBlack) {
        for (std::size_t x = 0; x < w; ++x) {
          scratch[4 * x] = scratch[4 * x + 1] = scratch[4 * x + 2] = 0;
          scratch[4 * x + 3] = line[x];
        }
      } else {
        cmsDoTransform(to_cmyk_.get(), line, scratch, width);
      }
      const bool gold = to != CUPS_CSPACE_CMYK;
      const std::array<int, 4> order = gold ? std::array{2, 1, 0, 3} : std::array{0, 1, 2, 3};
      for (int b = 0; b < 4; ++b)
        for (std::size_t x = 0; x < w; ++x) bands[b * w + x] = cmyk[4 * x + order[b]];
      break;
    }
    case CUPS_CSPACE_CMY:
    case CUPS_CSPACE_YMC: {
      // The complement of device RGB, as the raster device makes it; YMC is
      // the same bands in the opposite order.
      const bool ymc = to == CUPS_CSPACE_YMC;
      for (std::size_t x = 0; x < w; ++x) {
        std::array<std::uint8_t, 3> ink;
        switch (from_) {
          case LineSpace::kGray:
            ink.fill(static_cast<std::uint8_t>(255 - line[x]));
            break;
          case LineSpace::kBlack:
            ink.fill(line[x]);
            break;
          case LineSpace::kRgb:
            for (int c = 0; c < 3; ++c) ink[c] = static_cast<std::uint8_t>(255 - line[3 * x + c]);
            break;
          case LineSpace::kCmyk:
            for (int c = 0; c < 3; ++c) ink[c] = Clip(line[4 * x + c] + line[4 * x + 3]);
            break;
        }
        for (int c = 0; c < 3; ++c) bands[(ymc ? 2 - c : c) * w + x] = ink[c];
      }
      break;
    }
    default: {
      // One ink (black, grey or white): the complement of device grey.
      if (from_ == LineSpace::kBlack) {
        std::copy(line, line + w, bands);
      } else if (from_ == LineSpace::kGray) {
        for (std::size_t x = 0; x < w; ++x) bands[x] = static_cast<std::uint8_t>(255 - line[x]);
      } else {
        cmsDoTransform(to_gray_.get(), line, scratch, width);
        for (std::size_t x = 0; x < w; ++x) bands[x] = static_cast<std::uint8_t>(255 - scratch[x]);
      }
      break;
    }
  }
}

}  // namespace zelt_app
