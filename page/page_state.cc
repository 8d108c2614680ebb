#include "page/page_state.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

int PrinterPlanes = 0;
int PrinterColors = 0;
int DotLength = 0;
const std::int16_t* DitherBases = nullptr;
std::array<std::array<std::uint8_t, 256>, 3> DitherLUTs{};

std::array<std::uint8_t*, kMaxPlanes> InputBuffers{};
std::array<std::uint8_t*, kMaxPlanes> DotBuffers{};
std::array<int, kMaxPlanes> PrinterFiles{};
std::array<int, kMaxPlanes> OutputFeed{};
std::array<const std::int16_t*, kMaxPlanes> DitherData{};
std::array<int, kMaxPlanes> DitherWidth{};
std::array<int, kMaxPlanes> DitherHeight{};
std::array<const ToneEntry*, kMaxPlanes> DitherTone{};
std::array<const std::int16_t*, kMaxPlanes> DitherExpand{};
std::array<const std::int16_t*, kMaxPlanes> DitherAdjust{};

const std::array<std::array<const char*, kMaxPlanes>, kColorModes> ColorNames = {{
    {"Cyan", "Yellow", "Magenta", "Black"},
    {"Gold", "M. Magenta", "M. Cyan", "Black"},
    {"Gold", "M. Magenta", "M. Cyan", "Silver"},
    {"Yellow", "Magenta", "Cyan", ""},
    {"White", "", "", ""},
    {"Cyan", "Yellow", "Magenta", "Black"},
}};

namespace {

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};
using Block = std::unique_ptr<std::uint8_t[], FreeDeleter>;

// The page's two blocks; InputBuffers[0] and DotBuffers[0] point into them.
Block input_block;
Block dot_block;

Block AllocateZeroed(std::uint64_t bytes) {
  // calloc(0) may return a null pointer; a page of zero width still gets a
  // valid, if useless, block.
  return Block(
      static_cast<std::uint8_t*>(std::calloc(bytes ? static_cast<std::size_t>(bytes) : 1, 1)));
}

}  // namespace

std::uint64_t DotRowBytes(const cups_page_header_t& header, int colors) {
  const std::uint64_t width = header.cupsWidth;
  return colors == kModePhoto || colors == kModeVariableDot ? (width + 1) / 2 : (width + 7) / 8;
}

bool AllocatePageBuffers(const cups_page_header_t& header) {
  const std::uint64_t width = header.cupsWidth;
  const std::uint64_t dot_length = DotRowBytes(header, PrinterColors);
  DotLength = static_cast<int>(dot_length);

  input_block = AllocateZeroed(PrinterPlanes * width);
  dot_block = AllocateZeroed(PrinterPlanes * dot_length);
  if (!input_block || !dot_block) {
    ReleasePageBuffers();
    return false;
  }
  for (int p = 0; p < PrinterPlanes; ++p) {
    InputBuffers[p] = input_block.get() + p * width;
    DotBuffers[p] = dot_block.get() + p * dot_length;
  }
  return true;
}

void ReleasePageBuffers() {
  input_block.reset();
  dot_block.reset();
  InputBuffers.fill(nullptr);
  DotBuffers.fill(nullptr);
}

bool PageHeaderProblem(const cups_page_header_t& header, char* message, std::size_t size) {
  int planes = 0, colors = 0;
  DecideColorMode(header, planes, colors);
  const std::uint64_t block = static_cast<std::uint64_t>(planes) * header.cupsWidth;

  if (header.cupsBitsPerColor != 8) {
    std::snprintf(message, size,
                  "ERROR: Unsupported raster data: %u bits per colour, the "
                  "printer needs 8\n",
                  header.cupsBitsPerColor);
  } else if (header.cupsBytesPerLine > block) {
    std::snprintf(message, size,
                  "ERROR: Unsupported raster data: lines of %u bytes do not fit "
                  "%d planes of %u pixels\n",
                  header.cupsBytesPerLine, planes, header.cupsWidth);
  } else if (DotRowBytes(header, colors) > 0xFFFF) {
    std::snprintf(message, size, "ERROR: Page too wide for the printer: %u pixels\n",
                  header.cupsWidth);
  } else {
    return false;
  }
  return true;
}
