// Raster lines as PAPPL delivers them (chunky sGray, sRGB, device black or
// device CMYK, 8 bits a sample) turned into the ink bands of the page, the
// bands ghostscript's raster device makes of the same colours: colour through
// Little CMS and ghostscript's own ICC profiles (perceptual intent with black
// point compensation, which is what ghostscript does for these devices),
// device CMYK passed through.
#pragma once

#include <cups/raster.h>
#include <lcms2.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zelt_app {

// The chunky colour spaces a line can arrive in.
enum class LineSpace { kGray, kBlack, kRgb, kCmyk };

// The line space of a raster header, or false when the header's colour space
// or bit depth cannot be printed (anything but 8-bit sGray, black, sRGB, RGB
// and CMYK).
bool LineSpaceOf(const cups_page_header2_t& header, LineSpace* space);

// Where ghostscript's profiles are: the first of the usual directories that
// holds default_cmyk.icc, or "" when none does.
std::string FindProfileDirectory();

struct TransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// The transforms of one page: from the line's space to device CMYK and to
// device grey.  Made once per page and used for every line.
class InkConverter {
 public:
  // False (with the reason in *error) when a profile cannot be read.
  bool Open(const std::string& profile_dir, LineSpace from, std::string* error);

  // Converts `width` pixels of `line` into the bands of a page of colour
  // space `to` (one of the spaces the printer's ink sets use), band b at
  // bands + b * width.  `scratch` holds at least 4 × width bytes.
  void Convert(const std::uint8_t* line, unsigned width, cups_cspace_t to, std::uint8_t* bands,
               std::uint8_t* scratch) const;

 private:
  LineSpace from_ = LineSpace::kRgb;
  Transform to_cmyk_, to_gray_;
};

}  // namespace zelt_app
