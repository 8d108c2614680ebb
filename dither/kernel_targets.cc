// The run-time half of the kernels' dispatch on x86: which instruction sets
// this processor runs, and the chosen one.  These are the three functions of
// hwy/targets.h that HWY_EXPORT and HWY_DYNAMIC_DISPATCH call, defined here
// instead of linking libhwy: its start-up measures a timer in every process
// that loads it, about 4 ms of processor time here, which is as much as
// halftoning a short job costs.  The kernels need nothing else from it but
// hwy::Abort, which Highway's own checks call in debug builds.
//
// The state is process-wide by design: the processor is the same for every
// job and thread, the choice is made once and kept in an atomic, and only
// tests and benchmarks change it (SetSupportedTargetsForTest).
#include <cpuid.h>
#include <hwy/targets.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace hwy {
namespace {

constexpr bool Bit(unsigned reg, int bit) { return (reg >> bit & 1) != 0; }

// The register states the operating system saves on a context switch.
unsigned SavedStates() {
  unsigned low, high;
  asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return low;
}

// Every feature the compiler may use for a target (hwy/ops/set_macros-inl.h),
// and the operating system saving the registers it needs.
std::int64_t DetectTargets() {
  std::int64_t targets = HWY_STATIC_TARGET;
  unsigned a, b, c1, d1, b7 = 0, c7 = 0, c81 = 0;
  if (!__get_cpuid(1, &a, &b, &c1, &d1)) return targets;
  __get_cpuid_count(7, 0, &a, &b7, &c7, &b);
  __get_cpuid(0x80000001, &a, &b, &c81, &d1);
  const unsigned states = Bit(c1, 27) ? SavedStates() : 0;  // only with OSXSAVE
  const bool os_avx = (states & 0x06) == 0x06;              // XMM, YMM
  const bool os_avx512 = (states & 0xE6) == 0xE6;           // and opmask, ZMM
  const bool sse4 = Bit(c1, 9) && Bit(c1, 19) && Bit(c1, 20) && Bit(c1, 1) && Bit(c1, 25);
  const bool avx2 = sse4 && os_avx && Bit(c1, 28) && Bit(b7, 5) && Bit(b7, 3) && Bit(b7, 8) &&
                    Bit(c1, 12) && Bit(c1, 29) && Bit(c81, 5);
  const bool avx3 = avx2 && os_avx512 && Bit(b7, 16) && Bit(b7, 31) && Bit(b7, 17) && Bit(b7, 30);
  const bool avx3_dl = avx3 && Bit(c7, 10) && Bit(c7, 1) && Bit(c7, 6) && Bit(c7, 9) &&
                       Bit(c7, 11) && Bit(c7, 12) && Bit(c7, 14);
  if (sse4) targets |= HWY_SSSE3 | HWY_SSE4;
  if (avx2) targets |= HWY_AVX2;
  if (avx3) targets |= HWY_AVX3;
  if (avx3_dl) targets |= HWY_AVX3_DL;
  return targets;
}

std::atomic<std::int64_t> targets_for_test{0};

}  // namespace

std::int64_t SupportedTargets() {
  if (const std::int64_t forced = targets_for_test.load(); forced != 0) return forced;
  static const std::int64_t detected = DetectTargets();
  return detected;
}

void SetSupportedTargetsForTest(std::int64_t targets) {
  targets_for_test.store(targets);
  GetChosenTarget().DeInit();
}

void Abort(const char* file, int line, const char* format, ...) {
  std::fprintf(stderr, "Abort at %s:%d: ", file, line);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::abort();
}

ChosenTarget& GetChosenTarget() {
  static ChosenTarget chosen;
  return chosen;
}

}  // namespace hwy
