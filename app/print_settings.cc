#include "app/print_settings.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace zelt_app {

namespace {

template <typename Table>
auto FindBy(const Table& table, std::string_view key, auto member) -> decltype(&table[0]) {
  for (const auto& row : table)
    if (key == row.*member) return &row;
  return nullptr;
}

// The pixels of `points` at `dpi`, rounded as the raster device rounds them.
unsigned Pixels(int points, int dpi) {
  return static_cast<unsigned>(std::lround(points * static_cast<double>(dpi) / 72.0));
}

}  // namespace

const InkSet* FindInkSet(std::string_view keyword) {
  if (keyword == kBlackOnly.keyword) return &kBlackOnly;
  return FindBy(kInkSets, keyword, &InkSet::keyword);
}

const MediaSize* FindMediaSize(std::string_view pwg) {
  return FindBy(kMediaSizes, pwg, &MediaSize::pwg);
}

const MediaType* FindMediaType(std::string_view keyword) {
  return FindBy(kMediaTypes, keyword, &MediaType::keyword);
}

JobChoices WithDefaults(JobChoices job, const JobChoices& defaults) {
  for (auto member : {&JobChoices::ink_set, &JobChoices::color_mode, &JobChoices::media,
                      &JobChoices::media_type, &JobChoices::finish})
    if ((job.*member).empty()) job.*member = defaults.*member;
  if (job.resolution == 0) {
    job.resolution = defaults.resolution;
    job.resolution_y = defaults.resolution_y;
  }
  return job;
}

Decision DecideSettings(const JobChoices& c) {
  Decision d;
  auto refuse = [&d](std::string why) {
    d.refusal = std::move(why);
    return d;
  };

  const InkSet* ink = FindInkSet(c.ink_set);
  if (!ink || ink == &kBlackOnly) return refuse("Unsupported ink set \"" + c.ink_set + "\".");
  if (c.color_mode == "monochrome" || c.color_mode == "auto-monochrome") {
    if (!ink->monochrome)
      return refuse(std::string("The ink set \"") + ink->keyword +
                    "\" has no monochrome form; print in colour or choose another ink set.");
    ink = FindInkSet(ink->monochrome);
  } else if (c.color_mode != "color" && c.color_mode != "auto") {
    return refuse("Unsupported print-color-mode \"" + c.color_mode + "\".");
  }

  const MediaSize* size = FindMediaSize(c.media);
  if (!size) return refuse("Unsupported media size \"" + c.media + "\".");
  const MediaType* type = FindMediaType(c.media_type);
  if (!type) return refuse("Unsupported media type \"" + c.media_type + "\".");

  const int y = c.resolution_y ? c.resolution_y : c.resolution;
  bool known = false;
  for (int r : kResolutions) known |= (r == c.resolution);
  if (!known || y != c.resolution)
    return refuse("Unsupported resolution " + std::to_string(c.resolution) + "x" +
                  std::to_string(y) + "dpi; the printer prints at 300, 600 or 1200 dpi.");

  bool glossy;
  if (c.finish == kFinishes[0])
    glossy = false;
  else if (c.finish == kFinishes[1])
    glossy = true;
  else
    return refuse("Unsupported finish \"" + c.finish + "\".");

  d.settings = {ink, size, type, c.resolution, glossy};
  return d;
}

cups_page_header2_t PageHeader(const PrintSettings& s) {
  cups_page_header2_t h{};
  std::snprintf(h.MediaType, sizeof h.MediaType, "%s", s.type->ppd);
  std::snprintf(h.OutputType, sizeof h.OutputType, "%s", s.glossy ? "Glossy" : "Standard");
  std::snprintf(h.cupsPageSizeName, sizeof h.cupsPageSizeName, "%s", s.size->ppd);
  h.HWResolution[0] = h.HWResolution[1] = static_cast<unsigned>(s.resolution);
  h.PageSize[0] = static_cast<unsigned>(s.size->width);
  h.PageSize[1] = static_cast<unsigned>(s.size->length);
  h.Margins[0] = h.Margins[1] = kMarginPoints;
  h.ImagingBoundingBox[0] = h.ImagingBoundingBox[1] = kMarginPoints;
  h.ImagingBoundingBox[2] = static_cast<unsigned>(s.size->width - kMarginPoints);
  h.ImagingBoundingBox[3] = static_cast<unsigned>(s.size->length - kMarginPoints);
  h.NumCopies = 1;
  h.cupsWidth = Pixels(s.size->width - 2 * kMarginPoints, s.resolution);
  h.cupsHeight = Pixels(s.size->length - 2 * kMarginPoints, s.resolution);
  h.cupsMediaType = s.type->number;
  h.cupsBitsPerColor = 8;
  h.cupsColorOrder = CUPS_ORDER_BANDED;
  h.cupsColorSpace = s.ink->color_space;
  h.cupsCompression = s.ink->compression;
  const cups_cspace_t cs = s.ink->color_space;
  const unsigned bands = cs == CUPS_CSPACE_K || cs == CUPS_CSPACE_WHITE   ? 1
                         : cs == CUPS_CSPACE_CMY || cs == CUPS_CSPACE_YMC ? 3
                                                                          : 4;
  h.cupsBitsPerPixel = 8;
  h.cupsBytesPerLine = bands * h.cupsWidth;
  return h;
}

}  // namespace zelt_app
