// Per-line cost of the halftoning routines, fast and plain, at Letter widths.
// Counters report nanoseconds per sample (one sample = one pixel of one plane).
#include <benchmark/benchmark.h>

#include <random>

#include "dither/photo.h"
#include "dither/reference.h"
#include "dither/standard.h"
#include "dither/vphoto.h"
#include "page/dither_binding.h"
#include "page/page.h"

namespace {

using Routine = void (*)(Page&, std::uint32_t);

enum Content { kRandom, kFlat };

void Run(benchmark::State& state, Routine routine, cups_cspace_t space, unsigned compression,
         unsigned dpi, Content content) {
  Page page;
  cups_page_header2_t& h = page.header;
  h.cupsColorSpace = space;
  h.cupsCompression = compression;
  h.HWResolution[0] = h.HWResolution[1] = dpi;
  h.cupsWidth = 17 * dpi / 2;  // 8.5 inches
  NullLog log;
  DecidePageMode(page);
  BindDitherTables(log, page);
  AllocatePageBuffers(AllocateZeroed, page);

  // 64 different lines, cycled; black generation rewrites them in place, so
  // each is restored before use from a pristine copy.
  constexpr int kLines = 64;
  const std::size_t line_bytes = static_cast<std::size_t>(page.PrinterPlanes) * h.cupsWidth;
  std::vector<std::uint8_t> lines(kLines * line_bytes);
  std::mt19937 rng(1);
  for (auto& b : lines) b = content == kRandom ? static_cast<std::uint8_t>(rng()) : 128;

  std::uint32_t y = 0;
  for (auto _ : state) {
    std::copy_n(lines.begin() + (y % kLines) * line_bytes, line_bytes, page.InputBuffers[0]);
    routine(page, y++);
    benchmark::DoNotOptimize(page.DotBuffers[0][0]);
    benchmark::ClobberMemory();
  }
  const double samples = static_cast<double>(state.iterations()) * static_cast<double>(line_bytes);
  state.counters["ns/sample"] =
      benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

struct Case {
  const char* name;
  Routine routine;
  cups_cspace_t space;
  unsigned compression, dpi;
  Content content;
};

constexpr Case kCases[] = {
    {"standard/600/random", DitherStandard, CUPS_CSPACE_CMYK, 1, 600, kRandom},
    {"standard/600/flat", DitherStandard, CUPS_CSPACE_CMYK, 1, 600, kFlat},
    {"standard/1200/random", DitherStandard, CUPS_CSPACE_CMYK, 1, 1200, kRandom},
    {"standard/1200/flat", DitherStandard, CUPS_CSPACE_CMYK, 1, 1200, kFlat},
    {"standard-plain/600/random", DitherStandardReference, CUPS_CSPACE_CMYK, 1, 600, kRandom},
    {"photo/600/random", DitherPhoto, CUPS_CSPACE_YMC, 1, 600, kRandom},
    {"photo/600/flat", DitherPhoto, CUPS_CSPACE_YMC, 1, 600, kFlat},
    {"photo/1200/random", DitherPhoto, CUPS_CSPACE_YMC, 1, 1200, kRandom},
    {"photo/1200/flat", DitherPhoto, CUPS_CSPACE_YMC, 1, 1200, kFlat},
    {"photo-plain/600/random", DitherPhotoReference, CUPS_CSPACE_YMC, 1, 600, kRandom},
    {"vphoto-grey/600/random", DitherVPhoto, CUPS_CSPACE_K, 0, 600, kRandom},
    {"vphoto-grey/600/flat", DitherVPhoto, CUPS_CSPACE_K, 0, 600, kFlat},
    {"vphoto-colour/600/random", DitherVPhoto, CUPS_CSPACE_CMY, 0, 600, kRandom},
    {"vphoto-colour/600/flat", DitherVPhoto, CUPS_CSPACE_CMY, 0, 600, kFlat},
    {"vphoto-grey-plain/600/random", DitherVPhotoReference, CUPS_CSPACE_K, 0, 600, kRandom},
    {"vphoto-colour-plain/600/random", DitherVPhotoReference, CUPS_CSPACE_CMY, 0, 600, kRandom},
};

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases)
    benchmark::RegisterBenchmark(c.name, [c](benchmark::State& state) {
      Run(state, c.routine, c.space, c.compression, c.dpi, c.content);
    })->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
