#include "search/work_gate.h"

#include <algorithm>

namespace {

// One task in this many is measured: a measure costs system calls.
const int kMeasuredEvery = 4;
// A measured task moves the score a quarter of the way to 256 (waited) or
// to 0, so three tasks that wait in a row double the workers at work.
const int kMostlyWaiting = 128;
const int kHardlyWaiting = 32;
const int kCalmTasksPerStepDown = 8;

}  // namespace

void OpenWorkGate(WorkGate* gate, int workers, bool matchTheWork, int processors) {
  gate->workers = workers;
  gate->matchTheWork = matchTheWork && workers > 0;
  gate->fewest = gate->matchTheWork ? std::min(workers, std::max(1, processors - 1)) : workers;
  gate->allowed = gate->fewest;
  gate->waitScore = 0;
  gate->calmTasks = 0;
}

bool MeasuresTask(const WorkGate& gate, int taskNumber) {
  return gate.matchTheWork && taskNumber % kMeasuredEvery == 0;
}

bool NoteWaiting(WorkGate* gate, bool waited) {
  gate->waitScore += (waited ? 64 : 0) - gate->waitScore / 4;
  if (gate->waitScore > kMostlyWaiting && gate->allowed < gate->workers) {
    gate->allowed = std::min(gate->workers, gate->allowed * 2);
    gate->calmTasks = 0;
    return true;
  }
  if (gate->waitScore < kHardlyWaiting && gate->allowed > gate->fewest &&
      ++gate->calmTasks >= kCalmTasksPerStepDown) {
    gate->allowed = std::max(gate->fewest, gate->allowed / 2);
    gate->calmTasks = 0;
  }
  return false;
}
