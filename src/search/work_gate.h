// How many workers may be at work at once.  Work that computes gains
// nothing from more threads than processors; work that waits for a disk or
// a network share gains from many requests in flight.  So the workers at
// work start at one less than the processors (the main thread works too),
// double while most of the work is seen to wait, and halve again once
// little of it is.
#ifndef TROVIX_SEARCH_WORK_GATE_H_
#define TROVIX_SEARCH_WORK_GATE_H_

struct WorkGate {
  int workers;        // started
  int fewest;         // at work however little waits
  int allowed;        // at work now
  bool matchTheWork;  // else all the workers are at work, always
  int waitScore;      // the share of measured tasks that waited, out of 256
  int calmTasks;      // measured since the last step down, that hardly waited
};

void OpenWorkGate(WorkGate* gate, int workers, bool matchTheWork, int processors);

// Whether a thread measures its task of that number.
bool MeasuresTask(const WorkGate& gate, int taskNumber);

// Takes in a measured task; true when more workers may now be at work.
bool NoteWaiting(WorkGate* gate, bool waited);

#endif  // TROVIX_SEARCH_WORK_GATE_H_
