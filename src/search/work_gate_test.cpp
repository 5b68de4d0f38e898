#include "search/work_gate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Feeds the gate measured tasks, one in `every` of which waited; gives the
// workers at work after each.
std::vector<int> AllowedAfter(WorkGate* gate, int tasks, int every) {
  std::vector<int> allowed;
  for (int i = 1; i <= tasks; ++i) {
    NoteWaiting(gate, every > 0 && i % every == 0);
    allowed.push_back(gate->allowed);
  }
  return allowed;
}

TEST(WorkGateTest, MatchesTheWorkersAtWorkToTheShareOfWorkThatWaits) {
  WorkGate gate;
  OpenWorkGate(&gate, 31, true, 2);
  EXPECT_EQ(1, gate.allowed);
  // Computing work, a wait now and then (a page, a lock): one worker beside the main thread.
  for (int allowed : AllowedAfter(&gate, 400, 40)) EXPECT_EQ(1, allowed);
  // A share that waits on every request: all 31 within a few measures.
  OpenWorkGate(&gate, 31, true, 2);
  std::vector<int> waiting = AllowedAfter(&gate, 8, 1);
  EXPECT_EQ((std::vector<int>{1, 1, 2, 4, 8, 16, 31, 31}), waiting);
  // Half the work waiting (a cold disk, partly cached) keeps them.
  for (int allowed : AllowedAfter(&gate, 200, 2)) EXPECT_EQ(31, allowed);
  // Once the cache holds all, back to one, halving.
  std::vector<int> calm = AllowedAfter(&gate, 64, 0);
  EXPECT_EQ(1, calm.back());
  EXPECT_EQ(31, calm[4]);
}

TEST(WorkGateTest, AFixedCountOfThreadsIsAllAtWorkAndNeverMeasured) {
  WorkGate gate;
  OpenWorkGate(&gate, 3, false, 2);
  EXPECT_EQ(3, gate.allowed);
  EXPECT_FALSE(MeasuresTask(gate, 4));
  OpenWorkGate(&gate, 0, true, 8);
  EXPECT_EQ(0, gate.allowed);
  EXPECT_FALSE(MeasuresTask(gate, 4));
  OpenWorkGate(&gate, 31, true, 8);
  EXPECT_EQ(7, gate.allowed);
  EXPECT_TRUE(MeasuresTask(gate, 4));
  EXPECT_FALSE(MeasuresTask(gate, 5));
}

}  // namespace
