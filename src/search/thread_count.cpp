#include "search/thread_count.h"

#include <stdlib.h>

#include <algorithm>
#include <string>

#include "output/listing.h"
#include "platform/platform.h"

namespace {

const int kMostThreads = 64;
const int kDefaultThreads = 32;

}  // namespace

bool ReadThreadCount(const char* text, int* count) {
  if (!text || !*text) return false;
  long value = 0;
  for (const char* digit = text; *digit; ++digit) {
    if (*digit < '0' || *digit > '9') return false;
    if (value < kMostThreads) value = value * 10 + (*digit - '0');
  }
  if (value < 1) return false;
  *count = static_cast<int>(std::min<long>(value, kMostThreads));
  return true;
}

ThreadPlan PlanThreads() {
  const char* setting = getenv("TROVIX_THREADS");
  ThreadPlan plan = {kDefaultThreads, true};
  if (!setting) return plan;
  if (ReadThreadCount(setting, &plan.threads)) {
    plan.matchTheWork = false;
    return plan;
  }
  std::string shown = setting;
  ReplaceControlBytes(&shown[0]);
  Warn("TROVIX_THREADS=\"%s\" is not a number of threads from 1 up; using the default",
       shown.c_str());
  return plan;
}
