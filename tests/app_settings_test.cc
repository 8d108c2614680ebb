// The printer application's decisions without a server: what a job's choices
// become, which are refused, the ghostscript command line against the one the
// classic chain logs, device IDs.
#include <gtest/gtest.h>

#include "app/drivers.h"
#include "app/ghostscript.h"
#include "app/print_settings.h"
#include "tests/support/cups_env.h"

namespace zelt_test {
namespace {

using zelt_app::DecideSettings;
using zelt_app::JobChoices;

JobChoices Choices(const char* ink, const char* mode = "color", int dpi = 600,
                   const char* media = "na_letter_8.5x11in") {
  return {ink, mode, media, "stationery", "standard", dpi, dpi};
}

TEST(AppSettingsTest, ChoicesBecomeTheColourModelOrARefusal) {
  struct Case {
    JobChoices choices;
    const char* color_model;  // nullptr: refused, with `why` in the reason
    const char* why;
  };
  JobChoices odd_dpi = Choices("standard");
  odd_dpi.resolution_y = 300;
  JobChoices matte = Choices("standard");
  matte.finish = "matte";
  JobChoices photo_paper = Choices("standard");
  photo_paper.media_type = "photographic";
  const std::vector<Case> cases = {
      {Choices("standard", "auto"), "CMYK", ""},
      {Choices("standard", "monochrome"), "Gray", ""},
      {Choices("variable-dot-color", "monochrome"), "VDotGray", ""},
      {Choices("white", "monochrome"), "White", ""},
      {Choices("photo", "monochrome"), nullptr, "no monochrome form"},
      {Choices("standard-black"), nullptr, "ink set"},
      {Choices("sparkle"), nullptr, "ink set"},
      {Choices("standard", "bi-level"), nullptr, "print-color-mode"},
      {Choices("standard", "color", 360), nullptr, "360x360dpi"},
      {odd_dpi, nullptr, "600x300dpi"},
      {Choices("standard", "color", 600, "na_ledger_11x17in"), nullptr, "media size"},
      {photo_paper, nullptr, "media type"},
      {matte, nullptr, "finish"},
  };
  for (const auto& c : cases) {
    const auto d = DecideSettings(c.choices);
    if (c.color_model)
      EXPECT_TRUE(d.ok() && std::string(d.settings.ink->color_model) == c.color_model) << d.refusal;
    else
      EXPECT_NE(d.refusal.find(c.why), std::string::npos) << c.why << ": " << d.refusal;
  }
}

// The command line cupsfilter's gstoraster step logs for the PPD's options,
// against ours for the same choices: the same but for our two fitting
// options and the document read from a file instead of standard input.
TEST(AppSettingsTest, GhostscriptArgumentsAreTheClassicChainsForTheSameChoices) {
  TempDir dir;
  MakeServerBin(dir.File("serverbin"), ZELT_FILTER_PATH);
  const std::string pdf = std::string(ZELT_SOURCE_DIR) + "/samples/sample.pdf";
  struct Case {
    FilterJob classic;
    JobChoices app;
  };
  JobChoices vdot = Choices("variable-dot-gray", "color", 300, "om_card_55.03x90.66mm");
  vdot.media_type = "zelt-type-16";
  vdot.finish = "glossy";
  const std::vector<Case> cases = {
      {{PpdPath(), pdf, {{"media", "A4"}}, 1},
       Choices("standard", "color", 600, "iso_a4_210x297mm")},
      {{PpdPath(),
        pdf,
        {{"ColorModel", "VDotGray"},
         {"Resolution", "300dpi"},
         {"PageSize", "55.03x90.66mm"},
         {"MediaType", "Type16"},
         {"OutputType", "Glossy"}},
        2},
       vdot},
  };
  for (const auto& c : cases) {
    const ToolResult r = RunCupsfilter(dir.File("serverbin"), c.classic, dir.File("out.prn"));
    const std::string key = "Ghostscript command line: ";
    const std::size_t at = r.err.find(key);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string logged =
        r.err.substr(at + key.size(), r.err.find('\n', at) - at - key.size());
    std::string ours;
    for (const auto& a :
         zelt_app::GhostscriptArgs(DecideSettings(c.app).settings, c.classic.copies, "-_")) {
      if (a == "-dFIXEDMEDIA" || a == "-dPDFFitPage") continue;
      ours += (ours.empty() ? "" : " ") + (a.starts_with("<<") ? "'" + a + "'" : a);
    }
    EXPECT_EQ(ours, logged);
  }
}

TEST(AppSettingsTest, DeviceIdsFindTheirDriver) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"MFG:Zelt;MDL:Pro;CMD:ZELT;", "zelt-pro"},
      {"MANUFACTURER:zelt;MODEL:BASIC;", "zelt-basic"},
      {"MFG:Zelt;MDL:Studio;", nullptr},
      {"MFG:Other;MDL:Pro;", nullptr},
      {"", nullptr},
  };
  for (const auto& [id, driver] : cases) {
    const char* found = zelt_app::DriverForDeviceId(id);
    EXPECT_EQ(std::string(found ? found : "-"), std::string(driver ? driver : "-")) << id;
  }
}

}  // namespace
}  // namespace zelt_test
