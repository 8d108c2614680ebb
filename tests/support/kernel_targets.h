// Running a test body once per compiled kernel target.
#pragma once

#include <gtest/gtest.h>

#include "dither/kernels.h"

namespace zelt_test {

// Calls body() with the kernels restricted to each instruction set compiled
// in that this processor runs, then lifts the restriction.
template <class Body>
void ForEachKernelTarget(Body body) {
  for (const std::int64_t target : KernelTargets()) {
    UseKernelTarget(target);
    ASSERT_EQ(ActiveKernelTarget(), target);
    SCOPED_TRACE(KernelTargetName(target));
    body();
  }
  UseKernelTarget(0);
}

}  // namespace zelt_test
