// Per-line cost of the halftoning routines, plain and fast on every kernel
// target, at Letter widths, and of the blank test.  Counters report
// nanoseconds per sample (one sample = one pixel of one plane).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "dither/kernels.h"
#include "dither/photo.h"
#include "dither/reference.h"
#include "dither/standard.h"
#include "dither/vphoto.h"
#include "page/dither_binding.h"
#include "page/page.h"

namespace {

using Routine = void (*)(Page&, std::uint32_t);

void Run(benchmark::State& state, Routine routine, cups_cspace_t space, unsigned compression,
         unsigned dpi) {
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

  // 64 different lines, cycled in place: the bands point into them, so no
  // copy is timed.  Black generation rewrites band 3 (and the rare pixel of
  // three 255s) on every pass alike.
  constexpr int kLines = 64;
  const std::size_t line_bytes = static_cast<std::size_t>(page.PrinterPlanes) * h.cupsWidth;
  std::vector<std::uint8_t> lines(kLines * line_bytes);
  std::mt19937 rng(1);
  for (auto& b : lines) b = static_cast<std::uint8_t>(rng());

  std::uint32_t y = 0;
  for (auto _ : state) {
    for (int p = 0; p < page.PrinterPlanes; ++p)
      page.InputBuffers[p] = lines.data() + (y % kLines) * line_bytes + p * h.cupsWidth;
    routine(page, y++);
    benchmark::DoNotOptimize(page.DotBuffers[0][0]);
    benchmark::ClobberMemory();
  }
  const double samples = static_cast<double>(state.iterations()) * static_cast<double>(line_bytes);
  state.counters["ns/sample"] =
      benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

struct Routines {
  const char* name;
  Routine fast, plain;
  cups_cspace_t space;
  unsigned compression;
};

constexpr Routines kRoutines[] = {
    {"standard", DitherStandard, DitherStandardReference, CUPS_CSPACE_CMYK, 1},
    {"photo", DitherPhoto, DitherPhotoReference, CUPS_CSPACE_YMC, 1},
    {"vphoto-grey", DitherVPhoto, DitherVPhotoReference, CUPS_CSPACE_K, 0},
    {"vphoto-colour", DitherVPhoto, DitherVPhotoReference, CUPS_CSPACE_CMY, 0},
};

// The blank test over a whole four-band line of zeros, its longest case.
void RunBlankTest(benchmark::State& state, unsigned dpi) {
  const std::vector<std::uint8_t> line(4 * (17 * dpi / 2), 0);
  for (auto _ : state)
    benchmark::DoNotOptimize(AllBytesZero(line.data(), static_cast<int>(line.size())));
  state.counters["ns/sample"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(line.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

// Each routine at 600 and 1200 dpi: the plain version, then the fast one with
// the kernels held to each instruction set the processor has, best first.
int main(int argc, char** argv) {
  for (const unsigned dpi : {600u, 1200u}) {
    const std::string at = "/" + std::to_string(dpi) + "/";
    for (const Routines& r : kRoutines) {
      benchmark::RegisterBenchmark((r.name + at + "plain").c_str(), [=](benchmark::State& state) {
        Run(state, r.plain, r.space, r.compression, dpi);
      })->Unit(benchmark::kMicrosecond);
      for (const std::int64_t target : KernelTargets())
        benchmark::RegisterBenchmark((r.name + at + KernelTargetName(target)).c_str(),
                                     [=](benchmark::State& state) {
                                       UseKernelTarget(target);
                                       Run(state, r.fast, r.space, r.compression, dpi);
                                       UseKernelTarget(0);
                                     })
            ->Unit(benchmark::kMicrosecond);
    }
    for (const std::int64_t target : KernelTargets())
      benchmark::RegisterBenchmark(("blank-test" + at + KernelTargetName(target)).c_str(),
                                   [=](benchmark::State& state) {
                                     UseKernelTarget(target);
                                     RunBlankTest(state, dpi);
                                     UseKernelTarget(0);
                                   });
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
