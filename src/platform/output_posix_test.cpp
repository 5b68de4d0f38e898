#include "platform/output.h"

#include <gtest/gtest.h>
#include <stdint.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
const bool kSanitized = true;
#elif defined(__has_feature)
const bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
const bool kSanitized = false;
#endif

// Kept where the compiler must assume it is read, so the allocation stays.
char* volatile gAllocated;

// A worker or the window that cannot allocate never aborts the process:
// the run ends with one line and the status of a failed run.
TEST(FailRunTest, AnAllocationThatFailsEndsTheRunWithOneLine) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer's allocator reports the failure itself";
  EXPECT_EXIT(
      {
        FailRunWhenMemoryRunsOut();
        volatile size_t huge = SIZE_MAX / 2;
        gAllocated = new char[huge];
      },
      testing::ExitedWithCode(255), "^trovix: out of memory\n$");
}

}  // namespace
