// What a job asks for, and what the printer makes of it: the choices a job
// (or the printer's defaults) names as IPP keywords, turned into the page
// header values the driver prints with, the same values the printer
// descriptions' options set.  A choice the printer does not offer is refused
// with a reason, never printed some other way.
//
// Nothing here knows PAPPL: the application reads the choices out of the job,
// and the tests ask these functions directly.
#pragma once

#include <cups/raster.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zelt_app {

// A media size the printer takes.  The lengths in points are the printer
// descriptions' own, exactly: the page-size code is chosen by the page length
// in whole points, so the card must reach the driver as 257, not 256.99.
struct MediaSize {
  const char* pwg;    // PWG self-describing name, as IPP clients send it
  const char* ppd;    // the PageSize choice of the printer descriptions
  int width, length;  // points
};

inline constexpr std::array<MediaSize, 5> kMediaSizes = {{
    {"na_letter_8.5x11in", "Letter", 612, 792},
    {"iso_a4_210x297mm", "A4", 595, 842},
    {"na_legal_8.5x14in", "Legal", 612, 1008},
    {"na_index-4x6_4x6in", "4x6", 288, 432},
    {"om_card_55.03x90.66mm", "55.03x90.66mm", 156, 257},
}};

// Hardware margins on every side, in points.
inline constexpr int kMarginPoints = 9;

inline constexpr std::array<int, 3> kResolutions = {300, 600, 1200};

// The ink sets: the colour models of the printer descriptions, by the keyword
// of the vendor attribute.  `monochrome` names the ink set a job asking for
// monochrome printing gets instead, where the ink set has a one-ink form.
struct InkSet {
  const char* keyword;
  const char* label;
  const char* color_model;  // the ColorModel choice with the same header values
  cups_cspace_t color_space;
  unsigned compression;    // tells black only (1) from variable-dot grey (0)
  const char* monochrome;  // nullptr: no one-ink form, monochrome is refused
};

inline constexpr std::array<InkSet, 7> kInkSets = {{
    {"standard", "Standard (CMYK, or Black for monochrome)", "CMYK", CUPS_CSPACE_CMYK, 1,
     "standard-black"},
    {"gold-black", "Gold, M. Magenta, M. Cyan and Black", "GoldBlack", CUPS_CSPACE_GMCK, 1,
     nullptr},
    {"gold-silver", "Gold, M. Magenta, M. Cyan and Silver", "GoldSilver", CUPS_CSPACE_GMCS, 1,
     nullptr},
    {"photo", "Photo (Yellow, Magenta, Cyan)", "Photo", CUPS_CSPACE_YMC, 1, nullptr},
    {"white", "White", "White", CUPS_CSPACE_WHITE, 1, "white"},
    {"variable-dot-color", "Variable-Dot Colour", "VDotColor", CUPS_CSPACE_CMY, 0,
     "variable-dot-gray"},
    {"variable-dot-gray", "Variable-Dot Grey", "VDotGray", CUPS_CSPACE_K, 0, "variable-dot-gray"},
}};

// Black only: what the standard ink set prints for a monochrome job.  Not a
// choice of its own (print-color-mode asks for it).
inline constexpr InkSet kBlackOnly = {"standard-black", "Black Only", "Gray", CUPS_CSPACE_K, 1,
                                      "standard-black"};

// The media types the printer takes: the number goes to the printer as it
// is; 16 and 17 also select the alternate variable-dot screens.
struct MediaType {
  const char* keyword;
  const char* label;
  const char* ppd;  // the MediaType choice of the printer descriptions
  unsigned number;
};

inline constexpr std::array<MediaType, 3> kMediaTypes = {{
    {"stationery", "Standard Media", "Standard", 0},
    {"zelt-type-16", "Media Type 16 (Alternate Screens)", "Type16", 16},
    {"zelt-type-17", "Media Type 17 (Alternate Screens)", "Type17", 17},
}};

// The vendor attributes and their keywords.
inline constexpr const char* kInkSetAttribute = "zelt-ink-set";
inline constexpr const char* kFinishAttribute = "zelt-finish";
inline constexpr std::array<const char*, 2> kFinishes = {"standard", "glossy"};

// A job's choices as IPP keywords; empty means "not given" (the printer's
// default then applies, see WithDefaults).
struct JobChoices {
  std::string ink_set;
  std::string color_mode;  // print-color-mode: "color", "monochrome", "auto", ...
  std::string media;       // PWG size name
  std::string media_type;
  std::string finish;
  int resolution = 0;    // dpi, 0 when not given
  int resolution_y = 0;  // 0: same as resolution
};

// Fills every choice the job left empty from the printer's defaults.
JobChoices WithDefaults(JobChoices job, const JobChoices& defaults);

// What the page header of every page of the job carries.
struct PrintSettings {
  const InkSet* ink = nullptr;
  const MediaSize* size = nullptr;
  const MediaType* type = nullptr;
  int resolution = 0;
  bool glossy = false;
};

struct Decision {
  PrintSettings settings;
  std::string refusal;  // empty when the job can be printed; else why not
  bool ok() const { return refusal.empty(); }
};

// Decides the settings of a job whose choices are all given (after
// WithDefaults).  Unknown keywords, unsupported sizes and resolutions and a
// monochrome request for an ink set without a one-ink form are refused.
Decision DecideSettings(const JobChoices& choices);

// The page header the printer descriptions' options give a page printed with
// `settings`: colour space, order, compression, bits, resolution, page size,
// margins, media type and finish, and the size of the raster inside the
// margins, as ghostscript's raster device computes it.
cups_page_header2_t PageHeader(const PrintSettings& settings);

// Lookups by keyword or name; nullptr when unknown.
const InkSet* FindInkSet(std::string_view keyword);
const MediaSize* FindMediaSize(std::string_view pwg);
const MediaType* FindMediaType(std::string_view keyword);

}  // namespace zelt_app
