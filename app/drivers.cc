#include "app/drivers.h"

#include <strings.h>

#include <cstring>

#include "app/print_job.h"
#include "app/print_settings.h"

namespace zelt_app {

namespace {

// 9 points in hundredths of a millimetre (317.5), rounded up so that a
// client keeping to the advertised margins stays inside the printer's.
constexpr int kMarginHundredths = 318;

// A keyword attribute and its default, the way the web interface offers a
// vendor attribute: a choice of the -supported values, saved as -default.
void AddVendorChoice(ipp_t* attrs, const char* name, const char* const* values, int count,
                     const char* default_value) {
  const std::string supported = std::string(name) + "-supported";
  const std::string defaults = std::string(name) + "-default";
  ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(), count, nullptr, values);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, defaults.c_str(), nullptr, default_value);
}

}  // namespace

const Model* FindModel(std::string_view driver) {
  for (const auto& m : kModels)
    if (driver == m.driver) return &m;
  return nullptr;
}

const char* DriverForDeviceId(const char* device_id) {
  if (!device_id || !*device_id) return nullptr;
  cups_option_t* pairs = nullptr;
  const int count = papplDeviceParseID(device_id, &pairs);
  auto field = [&](const char* key, const char* alias) {
    const char* v = cupsGetOption(key, count, pairs);
    return v ? v : cupsGetOption(alias, count, pairs);
  };
  const char* make = field("MFG", "MANUFACTURER");
  const char* model = field("MDL", "MODEL");
  const char* driver = nullptr;
  for (const auto& m : kModels) {
    // The table's own IDs say what a printer reports; the real printers'
    // IDs are not known yet, so only the make and model are compared.
    cups_option_t* want = nullptr;
    const int n = papplDeviceParseID(m.device_id, &want);
    const char* want_make = cupsGetOption("MFG", n, want);
    const char* want_model = cupsGetOption("MDL", n, want);
    if (make && model && !strcasecmp(make, want_make) && !strcasecmp(model, want_model))
      driver = m.driver;
    cupsFreeOptions(n, want);
    if (driver) break;
  }
  cupsFreeOptions(count, pairs);
  return driver;
}

const char* AutoAddCallback(const char*, const char*, const char* device_id, void*) {
  return DriverForDeviceId(device_id);
}

bool DriverCallback(pappl_system_t*, const char* driver_name, const char*, const char*,
                    pappl_pr_driver_data_t* d, ipp_t** attrs, void* context) {
  const Model* model = FindModel(driver_name ? driver_name : "");
  if (!model) return false;

  d->extension = context;  // the AppContext, for the job callbacks
  d->rstartjob_cb = StartRasterJob;
  d->rstartpage_cb = StartRasterPage;
  d->rwriteline_cb = WriteRasterLine;
  d->rendpage_cb = EndRasterPage;
  d->rendjob_cb = EndRasterJob;
  d->format = nullptr;  // jobs reach the printer only through the drivers' page loop

  std::snprintf(d->make_and_model, sizeof d->make_and_model, "%s", model->description);
  d->ppm = 1;
  d->ppm_color = 1;  // PAPPL reports color-supported only for a colour page rate
  d->kind = PAPPL_KIND_DOCUMENT | PAPPL_KIND_PHOTO | PAPPL_KIND_POSTCARD;
  d->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR | PAPPL_COLOR_MODE_MONOCHROME;
  d->color_default = PAPPL_COLOR_MODE_COLOR;
  d->content_default = PAPPL_CONTENT_AUTO;
  d->quality_default = IPP_QUALITY_NORMAL;
  d->scaling_default = PAPPL_SCALING_AUTO;
  d->raster_types = PAPPL_PWG_RASTER_TYPE_BLACK_8 | PAPPL_PWG_RASTER_TYPE_SGRAY_8 |
                    PAPPL_PWG_RASTER_TYPE_SRGB_8 | PAPPL_PWG_RASTER_TYPE_CMYK_8;
  d->duplex = PAPPL_DUPLEX_NONE;
  d->sides_supported = PAPPL_SIDES_ONE_SIDED;
  d->sides_default = PAPPL_SIDES_ONE_SIDED;

  // PAPPL maps print-quality draft, normal and high to the first, middle and
  // last resolution, so the list is in ascending order.
  d->num_resolution = static_cast<int>(kResolutions.size());
  for (std::size_t i = 0; i < kResolutions.size(); ++i)
    d->x_resolution[i] = d->y_resolution[i] = kResolutions[i];
  d->x_default = d->y_default = 600;

  d->left_right = d->bottom_top = kMarginHundredths;
  d->borderless = false;
  d->num_media = static_cast<int>(kMediaSizes.size());
  for (std::size_t i = 0; i < kMediaSizes.size(); ++i) d->media[i] = kMediaSizes[i].pwg;
  d->num_source = 1;
  d->source[0] = "main";
  d->num_type = static_cast<int>(kMediaTypes.size());
  for (std::size_t i = 0; i < kMediaTypes.size(); ++i) d->type[i] = kMediaTypes[i].keyword;

  pappl_media_col_t& media = d->media_default;
  media = {};
  std::snprintf(media.size_name, sizeof media.size_name, "%s", kMediaSizes[0].pwg);
  media.size_width = 21590;
  media.size_length = 27940;
  media.left_margin = media.right_margin = kMarginHundredths;
  media.top_margin = media.bottom_margin = kMarginHundredths;
  std::snprintf(media.source, sizeof media.source, "%s", "main");
  std::snprintf(media.type, sizeof media.type, "%s", kMediaTypes[0].keyword);
  d->media_ready[0] = media;

  // The vendor attributes: the ink set and the finish, each a keyword with a
  // printer default the web interface can set.
  d->num_vendor = 2;
  d->vendor[0] = kInkSetAttribute;
  d->vendor[1] = kFinishAttribute;
  *attrs = ippNew();
  const char* inks[kInkSets.size()];
  for (std::size_t i = 0; i < kInkSets.size(); ++i) inks[i] = kInkSets[i].keyword;
  AddVendorChoice(*attrs, kInkSetAttribute, inks, static_cast<int>(kInkSets.size()),
                  kInkSets[0].keyword);
  AddVendorChoice(*attrs, kFinishAttribute, kFinishes.data(), static_cast<int>(kFinishes.size()),
                  kFinishes[0]);
  return true;
}

const char* EnglishStrings() {
  static const std::string strings = [] {
    std::string s;
    auto line = [&s](const std::string& key, const std::string& text) {
      s += "\"" + key + "\" = \"" + text + "\";\n";
    };
    line(kInkSetAttribute, "Ink Set");
    for (const auto& ink : kInkSets)
      line(std::string(kInkSetAttribute) + "." + ink.keyword, ink.label);
    line(kFinishAttribute, "Output Finish");
    line(std::string(kFinishAttribute) + ".standard", "Standard");
    line(std::string(kFinishAttribute) + ".glossy", "Glossy");
    for (const auto& type : kMediaTypes)
      line(std::string("media-type.") + type.keyword, type.label);
    line("media.om_card_55.03x90.66mm", "Card 55 x 91 mm");
    return s;
  }();
  return strings.c_str();
}

}  // namespace zelt_app
