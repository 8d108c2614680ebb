// Page previews from the decoded rows.
#include "tools/preview.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace zelt::view {
namespace {

// Approximate ink colours as they look on white paper, by Ink.
constexpr InkLook kLooks[] = {
    {0.08f, 0.08f, 0.08f, false},  // none: never drawn
    {0.00f, 0.63f, 0.89f, false},  // cyan
    {0.85f, 0.00f, 0.55f, false},  // magenta
    {1.00f, 0.93f, 0.00f, false},  // yellow
    {0.08f, 0.08f, 0.08f, false},  // black
    {0.83f, 0.69f, 0.22f, true},   // gold
    {0.78f, 0.25f, 0.60f, true},   // M. magenta
    {0.25f, 0.60f, 0.78f, true},   // M. cyan
    {0.75f, 0.75f, 0.78f, true},   // silver
    {1.00f, 1.00f, 1.00f, true},   // white
};

// White ink is printed on dark or clear media; show it on a dark ground.
constexpr float kDarkGround[3] = {0.15f, 0.15f, 0.18f};

std::uint8_t ToByte(float value) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

const InkLook& LookOf(Ink ink) { return kLooks[static_cast<int>(ink)]; }

int ModeOf(const stream::PageInfo& page) {
  const int mode = page.ColorMode();
  if (mode < 0 && page.mode_mask != 0) return std::countr_zero(page.mode_mask);
  return mode;
}

PreviewBuilder::PreviewBuilder(std::string prefix, int scale)
    : prefix_(std::move(prefix)), scale_(std::max(scale, 1)) {}

void PreviewBuilder::OnPageStart(const stream::PageInfo& page) {
  width_ = -1;
  height_ = page.Height();
  out_width_ = 0;
  max_code_ = page.row_bits == 1 ? 1 : 15;
  end_line_ = 0;
  current_plane_ = -1;
  planes_ = {};
}

void PreviewBuilder::OnPassStart(const stream::PageInfo&, const stream::PassInfo& pass) {
  current_plane_ = pass.copy == 0 ? pass.plane : -1;
}

void PreviewBuilder::Fail(std::int64_t offset, std::string message) {
  if (error_.empty()) {
    error_ = std::move(message);
    error_offset_ = offset;
  }
}

bool PreviewBuilder::Allocate(const stream::PageInfo& page, std::int64_t offset) {
  width_ = std::max(page.Width(), 1);
  out_width_ = (width_ + scale_ - 1) / scale_;
  const std::int64_t height = std::max<std::int64_t>(std::max(height_, end_line_), 1);
  const std::int64_t pixels = std::int64_t{out_width_} * ((height + scale_ - 1) / scale_);
  if (pixels <= kMaxPlanePixels) return true;
  Fail(offset, "page " + std::to_string(page.index + 1) + " is too large to preview at scale " +
                   std::to_string(scale_) + " (" + std::to_string(out_width_) + " x " +
                   std::to_string(pixels / out_width_) + " pixels a plane)");
  return false;
}

void PreviewBuilder::OnRow(const stream::PageInfo& page, const stream::PassInfo&,
                           const stream::Row& row) {
  if (current_plane_ < 0 || !error_.empty()) return;
  if (width_ < 0 && !Allocate(page, row.offset)) return;
  if ((row.line / scale_ + 1) * out_width_ > kMaxPlanePixels) {
    Fail(row.offset, "page " + std::to_string(page.index + 1) + " is too tall to preview at scale " +
                         std::to_string(scale_));
    return;
  }
  Plane& plane = planes_[current_plane_];
  std::int64_t band = row.line / scale_;
  if (band != plane.band_index) {
    FlushBand(plane);
    plane.band_index = band;
    plane.band.assign(static_cast<std::size_t>(out_width_), 0);
  }
  // Sum each dot's ink into its output column; the row's length is the page's.
  int bits = page.row_bits, per_byte = 8 / bits, mask = (1 << bits) - 1;
  int x = 0;
  for (std::uint8_t byte : row.data) {
    for (int i = 0; i < per_byte && x < width_; ++i, ++x) {
      int value = byte >> (8 - bits * (i + 1)) & mask;
      if (value != 0) plane.band[x / scale_] += static_cast<std::uint32_t>(value);
    }
  }
  end_line_ = std::max(end_line_, row.line + 1);
}

void PreviewBuilder::OnPassEnd(const stream::PageInfo&, const stream::PassInfo&,
                               const stream::PassStats&) {
  if (current_plane_ >= 0) FlushBand(planes_[current_plane_]);
  current_plane_ = -1;
}

// Turns the band's sums into densities: the block's ink over the most ink the
// block's dots can hold.  Blocks at the right and bottom edges may be smaller.
void PreviewBuilder::FlushBand(Plane& plane) {
  if (plane.band_index < 0) return;
  std::int64_t lines = scale_;
  if (height_ >= 0)
    lines = std::clamp<std::int64_t>(height_ - plane.band_index * scale_, 1, scale_);
  std::size_t needed = static_cast<std::size_t>(plane.band_index + 1) * out_width_;
  if (plane.density.size() < needed) plane.density.resize(needed, 0);
  std::uint8_t* out = plane.density.data() + plane.band_index * out_width_;
  for (int column = 0; column < out_width_; ++column) {
    int dots = std::min(scale_, width_ - column * scale_);
    double full = static_cast<double>(max_code_) * dots * static_cast<double>(lines);
    out[column] = ToByte(static_cast<float>(plane.band[column] / full));
  }
  plane.band_index = -1;
}

void PreviewBuilder::OnPageEnd(const stream::PageInfo& page) { WritePage(page); }

void PreviewBuilder::WritePage(const stream::PageInfo& page) {
  // A page without rows is as wide as a hint says, else 1 dot.
  if (!error_.empty() || (width_ < 0 && !Allocate(page, page.setup.offset))) return;
  const std::int64_t height = std::max(height_, end_line_);
  int out_height = static_cast<int>(std::max<std::int64_t>((height + scale_ - 1) / scale_, 1));
  std::size_t pixels = static_cast<std::size_t>(out_width_) * out_height;
  for (Plane& plane : planes_) plane.density.resize(pixels, 0);

  const int mode = ModeOf(page);
  std::string base = prefix_ + "-page" + std::to_string(page.index + 1);
  auto write = [&](const std::string& path, PngImage image) {
    std::string message;
    if (WritePng(path, image, &message)) {
      written_.push_back(path);
    } else if (error_.empty()) {
      error_ = message;
    }
  };

  for (int p = 0; p < page.planes; ++p) {
    PngImage grey{out_width_, out_height, 1, std::vector<std::uint8_t>(pixels)};
    for (std::size_t i = 0; i < pixels; ++i)
      grey.pixels[i] = static_cast<std::uint8_t>(255 - planes_[p].density[i]);
    write(base + "-plane" + std::to_string(p) + ".png", std::move(grey));
  }

  // Lay the planes down in printing order over paper (or a dark ground for
  // White).
  const bool dark = mode == Index(ColorMode::kWhite);
  PngImage composite{out_width_, out_height, 3, std::vector<std::uint8_t>(pixels * 3)};
  for (std::size_t i = 0; i < pixels; ++i) {
    float rgb[3] = {1.0f, 1.0f, 1.0f};
    if (dark) std::copy(std::begin(kDarkGround), std::end(kDarkGround), rgb);
    for (int p = 0; p < page.planes; ++p) {
      float d = planes_[p].density[i] / 255.0f;
      if (d == 0.0f) continue;
      const InkLook& ink =
          LookOf(mode < 0 ? Ink::kBlack : InkOf(static_cast<ColorMode>(mode), page.planes, p));
      const float colour[3] = {ink.r, ink.g, ink.b};
      for (int c = 0; c < 3; ++c)
        rgb[c] = ink.opaque ? rgb[c] * (1 - d) + colour[c] * d : rgb[c] * (1 - d * (1 - colour[c]));
    }
    for (int c = 0; c < 3; ++c) composite.pixels[i * 3 + c] = ToByte(rgb[c]);
  }
  write(base + ".png", std::move(composite));
  planes_ = {};
}

}  // namespace zelt::view
