// The printer application's decisions without a server: what a job's choices
// become, and which are refused.
#include <gtest/gtest.h>

#include "app/print_settings.h"

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

}  // namespace
}  // namespace zelt_test
