// Page previews: a greyscale image per plane (ink dark on white) and a
// composite per page that lays the planes over one another in the inks of the
// page's colour mode.  Each output pixel is the box-filter average of a
// scale × scale block of dots; a dot's ink is 0 or 1 in 1-bit rows and
// code / 15 in 4-bit rows.  Only the first copy is drawn (later copies replay
// it).  Memory: one byte per output pixel and plane, for the current page.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/png_writer.h"
#include "tools/stream_decoder.h"

namespace zelt::view {

// How an ink shows on the composite: process inks filter the light (the
// colour multiplies what lies below), the metallic and White inks cover it.
struct InkLook {
  float r, g, b;
  bool opaque;
};
const InkLook& LookOf(Ink ink);

// The colour mode of a decoded page: the one that fits, else the lowest of
// those that do (the gold sets differ only in plane 3), else -1.
int ModeOf(const stream::PageInfo& page);

class PreviewBuilder : public stream::StreamVisitor {
 public:
  // Files are "<prefix>-page<N>-plane<P>.png" and "<prefix>-page<N>.png",
  // N from 1, P from 0.
  PreviewBuilder(std::string prefix, int scale);

  void OnPageStart(const stream::PageInfo& page) override;
  void OnPassStart(const stream::PageInfo& page, const stream::PassInfo& pass) override;
  void OnRow(const stream::PageInfo& page, const stream::PassInfo& pass,
             const stream::Row& row) override;
  void OnPassEnd(const stream::PageInfo& page, const stream::PassInfo& pass,
                 const stream::PassStats& stats) override;
  void OnPageEnd(const stream::PageInfo& page) override;

  const std::vector<std::string>& written() const { return written_; }
  // The first failure (a page too large to draw at this scale, a file that
  // cannot be written), empty when none, and the stream offset it belongs to.
  const std::string& error() const { return error_; }
  std::int64_t error_offset() const { return error_offset_; }

  // The most pixels a preview plane may have: Legal at 1200 dpi fits at
  // scale 1, and a page claiming more is refused before anything is
  // allocated for it.
  static constexpr std::int64_t kMaxPlanePixels = std::int64_t{1} << 28;

 private:
  struct Plane {
    std::vector<std::uint8_t> density;  // out_width × rows so far, 0 to 255
    std::vector<std::uint32_t> band;    // ink sums of the band being filled
    std::int64_t band_index = -1;
  };

  // Sizes the page's planes from its width and height; false (with the
  // error set) when they are too large.
  bool Allocate(const stream::PageInfo& page, std::int64_t offset);
  void Fail(std::int64_t offset, std::string message);
  void FlushBand(Plane& plane);
  void WritePage(const stream::PageInfo& page);

  std::string prefix_;
  int scale_;
  int width_ = -1;            // page width in dots, -1 until the first row
  std::int64_t height_ = -1;  // page height in lines, -1 when the stream does not say
  int out_width_ = 0;
  int max_code_ = 1;
  std::int64_t end_line_ = 0;
  int current_plane_ = -1;  // plane of the pass being drawn, -1 when skipped
  std::array<Plane, kMaxPlanes> planes_;
  std::vector<std::string> written_;
  std::string error_;
  std::int64_t error_offset_ = 0;
};

}  // namespace zelt::view
