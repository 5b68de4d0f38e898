#include "search/lookahead.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/records.h"
#include "output/listing.h"
#include "search/content_filter.h"
#include "search/text_search.h"

namespace {

const int kMaxWorkers = 16;
// How far the tests may run ahead of the listing: files, and directories
// whose handles their files hold.
const size_t kWindowFiles = 1024;
const size_t kMostWindowDirectories = 64;

// The queued entries of one directory share its handle and header.
struct Batch {
  uint64_t number;  // in listing order, from 1
  SharedDirectory* directory;
  std::string header;
  ~Batch() { ReleaseDirectory(directory); }
};

struct Job {
  FindEntry entry;  // its size and time completed when the file is opened
  std::shared_ptr<Batch> batch;
  std::atomic<bool> done;  // set by the worker, after which it never touches the job
  bool passed;
};

// Everything the main thread and the workers share; created once and
// never destroyed, so workers may still wait on it when the process ends.
struct Lookahead {
  std::mutex lock;
  std::condition_variable workReady;
  std::condition_variable jobDone;
  std::deque<std::unique_ptr<Job>> jobs;  // not yet printed, oldest first
  size_t started = 0;                     // of those, how many a worker took
  size_t directories = 0;                 // batches among the queued jobs
  size_t windowDirectories = kMostWindowDirectories;
  std::atomic<Job*> awaited{nullptr};  // the job the main thread sleeps on
  // The main thread's own.
  std::shared_ptr<Batch> filling;
  uint64_t batches = 0;
  uint64_t lastPrinted = 0;  // the batch whose header stands above the last line
};
Lookahead* gLookahead = nullptr;

void RunTest(Job* job, TextStream* stream) {
  FileHandle file = OpenEntryIn(job->batch->directory, &job->entry);
  job->passed = file != kNoFile && FileContainsText(file, stream);
  if (file != kNoFile) CloseFile(file);
  job->done = true;
  if (gLookahead->awaited == job) {
    // Taking the lock orders the wake after the main thread's last look.
    { std::lock_guard<std::mutex> hold(gLookahead->lock); }
    gLookahead->jobDone.notify_one();
  }
}

// A worker takes a few files at a time, so the lock it shares with the
// main thread is taken once for several searches.
const size_t kFilesTakenAtOnce = 4;

void Work(void*) {
  TextStream stream;
  Lookahead& ahead = *gLookahead;
  Job* taken[kFilesTakenAtOnce];
  for (;;) {
    size_t count = 0;
    {
      std::unique_lock<std::mutex> hold(ahead.lock);
      ahead.workReady.wait(hold, [&ahead] { return ahead.started < ahead.jobs.size(); });
      while (count < kFilesTakenAtOnce && ahead.started < ahead.jobs.size())
        taken[count++] = ahead.jobs[ahead.started++].get();
    }
    for (size_t i = 0; i < count; ++i) RunTest(taken[i], &stream);
  }
}

// Sleeping workers are woken when this many files wait for them, or when
// the main thread itself must wait: a search often takes less time than a
// wake, so waking for each file would cost more than it gains.
const size_t kWakeAfterFiles = 8;

// Called with the lock held.
void WakeWorkersFor(Lookahead& ahead, size_t waiting) {
  if (ahead.jobs.size() - ahead.started >= waiting) ahead.workReady.notify_all();
}

// How many results the main thread waits for when the window is full: it
// sleeps once for that many, not once for each.
const size_t kResultsAwaited = 32;

// Called with the lock held.
void AwaitJob(Lookahead& ahead, std::unique_lock<std::mutex>& hold, Job* job) {
  if (job->done) return;
  WakeWorkersFor(ahead, 1);
  ahead.awaited = job;
  ahead.jobDone.wait(hold, [job] { return job->done.load(); });
  ahead.awaited = nullptr;
}

// Takes the oldest results once the first `count` of them (or all, when
// fewer are queued) are finished, and any finished just after them.
void TakeFinishedResults(size_t count, std::vector<std::unique_ptr<Job>>* results) {
  Lookahead& ahead = *gLookahead;
  std::unique_lock<std::mutex> hold(ahead.lock);
  AwaitJob(ahead, hold, ahead.jobs[std::min(count, ahead.jobs.size()) - 1].get());
  AwaitJob(ahead, hold, ahead.jobs.front().get());
  while (!ahead.jobs.empty() && ahead.jobs.front()->done) {
    results->push_back(std::move(ahead.jobs.front()));
    ahead.jobs.pop_front();
    --ahead.started;
    if (ahead.jobs.empty() || ahead.jobs.front()->batch != results->back()->batch)
      --ahead.directories;
  }
}

// Prints a result as the single thread would have: its directory's header
// above the first entry listed from it.
void PrintResult(const Job& job) {
  Lookahead& ahead = *gLookahead;
  if (!job.passed) return;
  if (job.batch->number != ahead.lastPrinted) {
    memcpy(gListing.pendingHeader, job.batch->header.c_str(), job.batch->header.size() + 1);
    ahead.lastPrinted = job.batch->number;
  } else {
    gListing.pendingHeader[0] = '\0';
  }
  PrintEntry(job.entry);
}

void PrintOldestResults(size_t count) {
  std::vector<std::unique_ptr<Job>> results;
  TakeFinishedResults(count, &results);
  for (const auto& job : results) PrintResult(*job);
}

// Queues the job when the window has room for one more file, of a new
// directory or not, in the same hold of the lock as the look.
bool QueueIfThereIsRoom(std::unique_ptr<Job>* job, bool newDirectory) {
  Lookahead& ahead = *gLookahead;
  std::lock_guard<std::mutex> hold(ahead.lock);
  if (ahead.jobs.size() >= kWindowFiles ||
      (newDirectory && ahead.directories >= ahead.windowDirectories))
    return false;
  if (ahead.jobs.empty() || ahead.jobs.back()->batch != (*job)->batch) ++ahead.directories;
  ahead.jobs.push_back(std::move(*job));
  WakeWorkersFor(ahead, kWakeAfterFiles);
  return true;
}

}  // namespace

bool ReadThreadCount(const char* text, int* count) {
  if (!text || !*text) return false;
  long value = 0;
  for (const char* digit = text; *digit; ++digit) {
    if (*digit < '0' || *digit > '9') return false;
    if (value < kMaxWorkers) value = value * 10 + (*digit - '0');
  }
  if (value < 1) return false;
  *count = value < kMaxWorkers ? static_cast<int>(value) : kMaxWorkers;
  return true;
}

int WorkerThreadCount() {
  const char* setting = getenv("TROVIX_THREADS");
  int count = std::min(UsableProcessors(), kMaxWorkers);
  if (setting && !ReadThreadCount(setting, &count)) {
    std::string shown = setting;
    ReplaceControlBytes(&shown[0]);
    Warn("TROVIX_THREADS=\"%s\" is not a number of threads from 1 up; using %d", shown.c_str(),
         count);
  }
  return count;
}

// Each worker holds a file open, and each directory in the window a handle:
// under a low limit on them there are fewer of both, or none.
void StartLookahead(int workers) {
  // A worker's search holds two handles at a time: the one the file is
  // looked at by, and the one it is read by.
  const size_t kHandlesPerWorker = 2;
  size_t spare = HandlesToSpare();
  if (spare < kHandlesPerWorker * 2 + 1) return;
  workers = static_cast<int>(
      std::min<size_t>(static_cast<size_t>(workers), (spare - 1) / kHandlesPerWorker));
  if (workers < 2) return;
  gLookahead = new Lookahead;
  gLookahead->windowDirectories =
      std::min(kMostWindowDirectories, spare - kHandlesPerWorker * workers);
  // The system may refuse threads (a limit on tasks or on memory): the
  // content is then searched by those that started, or by the main thread.
  int started = 0;
  while (started < workers && StartThread(Work, nullptr)) ++started;
  if (started == 0) {
    delete gLookahead;
    gLookahead = nullptr;
  }
}

bool LookaheadIsOn() { return gLookahead != nullptr; }

void QueueContentTest(const FindEntry& entry) {
  Lookahead& ahead = *gLookahead;
  // The header is taken before printing can empty it.
  bool newDirectory = !ahead.filling;
  if (newDirectory) {
    ahead.filling = std::make_shared<Batch>();
    ahead.filling->number = ++ahead.batches;
    ahead.filling->directory = ShareCurrentDirectory();
    ahead.filling->header = gListing.pendingHeader;
  }
  std::unique_ptr<Job> job(new Job{entry, ahead.filling, {false}, false});
  while (!QueueIfThereIsRoom(&job, newDirectory)) PrintOldestResults(kResultsAwaited);
}

void EndContentDirectory() {
  if (gLookahead) gLookahead->filling.reset();
}

void FinishLookahead() {
  if (!gLookahead) return;
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(gLookahead->lock);
      if (gLookahead->jobs.empty()) return;
    }
    PrintOldestResults(kResultsAwaited);
  }
}
