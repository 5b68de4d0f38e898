#include "search/lookahead.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/records.h"
#include "output/listing.h"
#include "search/content_filter.h"
#include "search/text_search.h"

namespace {

const int kMaxWorkers = 16;
// How far the tests may run ahead of the listing: files, and directories
// whose handles their files hold.
const size_t kWindowFiles = 256;
const size_t kWindowDirectories = 16;

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
  bool done;
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
  // The main thread's own.
  std::shared_ptr<Batch> filling;
  uint64_t batches = 0;
  uint64_t lastPrinted = 0;  // the batch whose header stands above the last line
};
Lookahead* gLookahead = nullptr;

void RunTest(Job* job, TextStream* stream) {
  FileHandle file = OpenEntryIn(job->batch->directory, &job->entry);
  bool passed = file != kNoFile && FileContainsText(file, stream);
  if (file != kNoFile) CloseFile(file);
  std::lock_guard<std::mutex> hold(gLookahead->lock);
  job->passed = passed;
  job->done = true;
  gLookahead->jobDone.notify_all();
}

void Work() {
  TextStream stream;
  Lookahead& ahead = *gLookahead;
  for (;;) {
    Job* job;
    {
      std::unique_lock<std::mutex> hold(ahead.lock);
      ahead.workReady.wait(hold, [&ahead] { return ahead.started < ahead.jobs.size(); });
      job = ahead.jobs[ahead.started++].get();
    }
    RunTest(job, &stream);
  }
}

// Waits for the oldest result and prints it as the single thread would
// have: its directory's header above the first entry listed from it.
void PrintOldest() {
  Lookahead& ahead = *gLookahead;
  std::unique_ptr<Job> job;
  {
    std::unique_lock<std::mutex> hold(ahead.lock);
    ahead.jobDone.wait(hold, [&ahead] { return ahead.jobs.front()->done; });
    job = std::move(ahead.jobs.front());
    ahead.jobs.pop_front();
    --ahead.started;
    if (ahead.jobs.empty() || ahead.jobs.front()->batch != job->batch) --ahead.directories;
  }
  if (!job->passed) return;
  if (job->batch->number != ahead.lastPrinted) {
    memcpy(gListing.pendingHeader, job->batch->header.c_str(), job->batch->header.size() + 1);
    ahead.lastPrinted = job->batch->number;
  } else {
    gListing.pendingHeader[0] = '\0';
  }
  PrintEntry(job->entry);
}

}  // namespace

int WorkerThreadCount() {
  const char* setting = getenv("TROVIX_THREADS");
  int count = setting ? atoi(setting) : static_cast<int>(std::thread::hardware_concurrency());
  if (count < 1) count = 1;
  return count < kMaxWorkers ? count : kMaxWorkers;
}

void StartLookahead(int workers) {
  if (workers < 2) return;
  gLookahead = new Lookahead;
  for (int i = 0; i < workers; ++i) std::thread(Work).detach();
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
  for (;;) {
    size_t files, directories;
    {
      std::lock_guard<std::mutex> hold(ahead.lock);
      files = ahead.jobs.size();
      directories = ahead.directories;
    }
    if (files < kWindowFiles && (!newDirectory || directories < kWindowDirectories)) break;
    PrintOldest();
  }
  std::unique_ptr<Job> job(new Job{entry, ahead.filling, false, false});
  std::lock_guard<std::mutex> hold(ahead.lock);
  if (ahead.jobs.empty() || ahead.jobs.back()->batch != ahead.filling) ++ahead.directories;
  ahead.jobs.push_back(std::move(job));
  ahead.workReady.notify_one();
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
    PrintOldest();
  }
}
