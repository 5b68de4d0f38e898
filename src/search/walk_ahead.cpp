#include "search/walk_ahead.h"

#include <stdint.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "common/records.h"
#include "search/content_filter.h"
#include "search/text_search.h"
#include "search/work_gate.h"

namespace {

// How far the work may run ahead of the walk: directories made ready, the
// entries their listings hold, and chunks of matches done.
const size_t kWindowDirectories = 256;
const size_t kWindowEntries = 1 << 17;
const size_t kWindowChunks = 256;
// Once the window is full, the workers wait until the walk has taken a
// quarter of it: waking them for each directory costs more than the work.
const size_t kWindowSlack = 4;

// The matches of a directory are described or searched a chunk at a time:
// one task of a worker, and one hold of the directory.
const size_t kDescribedAtOnce = 32;
const size_t kSearchedAtOnce = 4;
const size_t kMostAtOnce = 32;

enum NodeState {
  kUnopened,   // nobody has begun to open it
  kOpening,    // a thread opens and reads it
  kOpened,     // open, its listing not read: the walk was not expected to enter it
  kReading,    // a thread reads its listing
  kRead,       // open and read (a directory that cannot be read lists nothing)
  kUnreadable  // it cannot be entered
};

// A chunk's matches once their work is done: kept until the walk has
// listed them.
struct ChunkResult {
  FindEntry entries[kMostAtOnce];
  bool listed[kMostAtOnce];
};

}  // namespace

struct WalkNode {
  WalkNode* parent;
  size_t place;  // among the parent's subdirectories
  size_t depth;
  // Changed with the lock held; read without it by the walk, which looks
  // first whether it needs to wait at all.
  std::atomic<NodeState> state;
  Directory* directory;
  DirectoryFacts facts;
  Listing* listing;
  bool read;                             // its listing was read, or found unreadable
  std::vector<uint32_t> matches;         // listing indices
  std::vector<uint32_t> subdirectories;  // listing indices
  size_t chunkSize;
  size_t chunkCount;
  size_t nextChunk;  // the first that nobody has taken
  std::vector<ChunkResult*> results;
  std::unique_ptr<std::atomic<bool>[]> chunkDone;
  size_t made;                  // subdirectories made into nodes
  std::deque<WalkNode*> ready;  // made, not yet taken by the walk
  int refs;                     // places that hold it
  size_t countedEntries;        // of the listing, in the window
  bool inWindow;
  std::atomic<bool> dropped;
};

namespace {

// What a thread keeps for its work: the stream its searches read into, and
// its count of tasks, some of which it measures.
struct Worker {
  TextStream stream;
  int tasks = 0;
};

// Everything the threads share.  Created once and never destroyed, so a
// worker still at work when the process ends finds it whole.
struct WalkAhead {
  std::mutex lock;
  std::condition_variable workReady;
  std::condition_variable progress;
  // Read directories whose subdirectories may be read ahead, and those
  // with chunks nobody has taken, each in walk order, the earliest last.
  std::vector<WalkNode*> frontier;
  std::vector<WalkNode*> chunked;
  size_t windowDirectories = 0;
  size_t windowEntries = 0;
  size_t chunksAhead = 0;   // results not yet listed
  bool windowFull = false;  // a worker found no room for more
  WorkGate gate{};
  int started = 0;  // workers, started as the gate lets more be at work
  int idle = 0;
  int running = 0;  // workers at a task
  bool walkWaits = false;
  DosPattern pattern;
  bool withText = false;
  Worker walkWorker;  // the main thread's
};
WalkAhead* gAhead = new WalkAhead;

// The lock is held for moments at a time, by the walk and the workers
// alike: one that finds it held tries again for a while before it sleeps.
std::unique_lock<std::mutex> TakeLock() {
  LockBriefly(&gAhead->lock);
  return std::unique_lock<std::mutex>(gAhead->lock, std::adopt_lock);
}

// True when a comes before b in the walk: a directory before everything
// below it, siblings in listing order.
bool ComesBefore(const WalkNode* a, const WalkNode* b) {
  if (a == b) return false;
  while (a->depth > b->depth) {
    a = a->parent;
    if (a == b) return false;
  }
  while (b->depth > a->depth) {
    b = b->parent;
    if (b == a) return true;
  }
  while (a->parent != b->parent) {
    a = a->parent;
    b = b->parent;
  }
  return a->place < b->place;
}

// Keeps the list in walk order, the earliest last; called with the lock.
void InsertInWalkOrder(std::vector<WalkNode*>* nodes, WalkNode* node) {
  auto at = std::upper_bound(nodes->begin(), nodes->end(), node,
                             [](const WalkNode* x, const WalkNode* y) { return ComesBefore(y, x); });
  nodes->insert(at, node);
  ++node->refs;
}

WalkNode* NewNode(WalkNode* parent, size_t place) {
  WalkNode* node = new WalkNode;
  node->parent = parent;
  node->place = place;
  node->depth = parent ? parent->depth + 1 : 0;
  node->state = kUnopened;
  node->directory = nullptr;
  node->facts = DirectoryFacts{0, 0, false, false, false};
  node->listing = nullptr;
  node->read = false;
  node->chunkSize = 1;
  node->chunkCount = node->nextChunk = node->made = 0;
  node->refs = 1;
  node->countedEntries = 0;
  node->inWindow = true;
  node->dropped = false;
  if (parent) ++parent->refs;
  ++gAhead->windowDirectories;
  return node;
}

// Room for more directories, and for more chunks done, beyond the slack.
bool WindowHasRoomForDirectories(size_t slack) {
  const WalkAhead& ahead = *gAhead;
  return ahead.windowDirectories + slack < kWindowDirectories &&
         ahead.windowEntries + slack * (kWindowEntries / kWindowDirectories) < kWindowEntries;
}

bool WindowHasRoomForChunks(size_t slack) {
  return gAhead->chunksAhead + slack < kWindowChunks;
}

// Called with the lock held, after the walk has taken from the window.
void WakeWorkersForRoom() {
  WalkAhead& ahead = *gAhead;
  if (ahead.windowFull && ahead.idle > 0 &&
      WindowHasRoomForDirectories(kWindowDirectories / kWindowSlack) &&
      WindowHasRoomForChunks(kWindowChunks / kWindowSlack)) {
    ahead.windowFull = false;
    ahead.workReady.notify_all();
  }
}

void LeaveWindow(WalkNode* node) {
  WalkAhead& ahead = *gAhead;
  if (!node->inWindow) return;
  node->inWindow = false;
  --ahead.windowDirectories;
  ahead.windowEntries -= node->countedEntries;
  WakeWorkersForRoom();
}

void FreeResults(WalkNode* node, size_t chunk) {
  if (!node->results[chunk]) return;
  delete node->results[chunk];
  node->results[chunk] = nullptr;
  --gAhead->chunksAhead;
}

// Called with the lock held; frees the node once nothing holds it.
void Unref(WalkNode* node) {
  while (node && --node->refs == 0) {
    WalkNode* parent = node->parent;
    LeaveWindow(node);
    for (size_t chunk = 0; chunk < node->results.size(); ++chunk) FreeResults(node, chunk);
    if (node->directory) CloseDirectory(node->directory);
    if (node->listing) FreeListing(node->listing);
    delete node;
    node = parent;
  }
}

// Marks the node and all made below it as dropped, and lets go of those
// below, which go once no work in progress holds them.  A loop, not
// recursion: the stack may be small.
void Drop(WalkNode* node) {
  std::vector<WalkNode*> below{node};
  while (!below.empty()) {
    WalkNode* next = below.back();
    below.pop_back();
    next->dropped = true;
    LeaveWindow(next);
    std::deque<WalkNode*> children;
    children.swap(next->ready);
    below.insert(below.end(), children.begin(), children.end());
    if (next != node) Unref(next);  // its parent's hold on it, as made and not taken
  }
}

// Work is not done ahead below a directory the walk will decline; the walk
// still takes the decision itself.
bool WalkIsLikelyToEnter(const WalkNode* node) {
  return !node->parent || FactsLetTheWalkEnter(node->facts, node->parent->facts);
}

// ---------------------------------------------------------------------------
// The work, done by a worker or by the main thread, without the lock

struct Task {
  enum Kind { kOpen, kRead, kChunk } kind;
  WalkNode* node;
  size_t chunk;
};

// Reads the listing, and picks from it the matches and the subdirectories.
void ReadNode(WalkNode* node) {
  node->read = true;
  if (!HoldDirectory(node->directory)) return;
  Listing* listing = ReadListing(node->directory);
  if (listing) {
    size_t size = ListingSize(listing);
    for (size_t i = 0; i < size; ++i) {
      if (MatchesDosPattern(gAhead->pattern, ListingName(listing, i)))
        node->matches.push_back(static_cast<uint32_t>(i));
      if (IsListedDirectory(node->directory, listing, i))
        node->subdirectories.push_back(static_cast<uint32_t>(i));
    }
  }
  ReleaseDirectory(node->directory);
  node->listing = listing;
  node->chunkSize = gAhead->withText ? kSearchedAtOnce : kDescribedAtOnce;
  node->chunkCount = (node->matches.size() + node->chunkSize - 1) / node->chunkSize;
  node->results.assign(node->chunkCount, nullptr);
  node->chunkDone.reset(new std::atomic<bool>[node->chunkCount]());
}

void OpenNode(WalkNode* node) {
  WalkNode* parent = node->parent;
  node->directory = OpenSubdirectory(parent->directory, parent->listing,
                                     parent->subdirectories[node->place], &node->facts);
}

bool IsListedMatch(Directory* directory, const Listing* listing, size_t index, FindEntry* entry,
                   TextStream* stream) {
  if (!gAhead->withText) return DescribeEntry(directory, listing, index, kFullDetail, entry);
  if (!DescribeEntry(directory, listing, index, kNameAndKind, entry)) return false;
  FileHandle file = OpenListedFile(directory, listing, index, entry);
  if (file == kNoFile) return false;
  bool holds = FileContainsText(file, stream);
  CloseFile(file);
  return holds;
}

// The chunk's results were allocated when it was taken.
void DoChunk(WalkNode* node, size_t chunk, TextStream* stream) {
  ChunkResult* result = node->results[chunk];
  size_t first = chunk * node->chunkSize;
  size_t count = std::min(node->matches.size() - first, node->chunkSize);
  std::fill(result->listed, result->listed + count, false);
  if (node->dropped || !HoldDirectory(node->directory)) return;
  for (size_t i = 0; i < count; ++i)
    result->listed[i] = IsListedMatch(node->directory, node->listing, node->matches[first + i],
                                      &result->entries[i], stream);
  ReleaseDirectory(node->directory);
}

// ---------------------------------------------------------------------------
// Taking and finishing tasks, with the lock held

// A chunk is taken with room for its results.
Task TakeChunk(WalkNode* node) {
  size_t chunk = node->nextChunk++;
  node->results[chunk] = new ChunkResult;
  ++gAhead->chunksAhead;
  ++node->refs;
  return Task{Task::kChunk, node, chunk};
}

// Whether the node lies in the tree below the directory, or is it.
bool IsWithin(const WalkNode* node, const WalkNode* directory) {
  while (node->depth > directory->depth) node = node->parent;
  return node == directory;
}

// The earliest work in walk order first: a chunk of a read directory, or
// the next subdirectory of one to open and read, which comes after all that
// lies below the subdirectories made before it.  Either only while the
// window has room for it.
bool TakeTask(Task* task) {
  WalkAhead& ahead = *gAhead;
  bool chunkRoom = WindowHasRoomForChunks(0);
  bool directoryRoom = WindowHasRoomForDirectories(0);
  while (!ahead.chunked.empty()) {
    WalkNode* node = ahead.chunked.back();
    if (!node->dropped && node->nextChunk < node->chunkCount) break;
    ahead.chunked.pop_back();
    Unref(node);
  }
  while (!ahead.frontier.empty()) {
    WalkNode* parent = ahead.frontier.back();
    if (!parent->dropped && parent->made < parent->subdirectories.size()) break;
    ahead.frontier.pop_back();
    Unref(parent);
  }
  WalkNode* chunked = chunkRoom && !ahead.chunked.empty() ? ahead.chunked.back() : nullptr;
  WalkNode* parent = directoryRoom && !ahead.frontier.empty() ? ahead.frontier.back() : nullptr;
  if (chunked && (!parent || ComesBefore(chunked, parent) || IsWithin(chunked, parent))) {
    *task = TakeChunk(chunked);
    return true;
  }
  if (parent) {
    WalkNode* node = NewNode(parent, parent->made++);
    parent->ready.push_back(node);
    node->state = kOpening;
    ++node->refs;
    *task = Task{Task::kOpen, node, 0};
    return true;
  }
  ahead.windowFull = !chunkRoom || !directoryRoom;
  return false;
}

void WakeWorkers(size_t tasks) {
  WalkAhead& ahead = *gAhead;
  size_t room = static_cast<size_t>(std::max(0, ahead.gate.allowed - ahead.running));
  for (size_t i = 0; i < std::min(tasks, room) && static_cast<int>(i) < ahead.idle; ++i)
    ahead.workReady.notify_one();
}


// Makes what a read found known to the other threads; the thread that read
// the directory goes on with its first chunk.
bool PublishRead(WalkNode* node, Task* next) {
  WalkAhead& ahead = *gAhead;
  node->state = kRead;
  if (node->listing && node->inWindow) {
    node->countedEntries = ListingSize(node->listing);
    ahead.windowEntries += node->countedEntries;
  }
  if (node->dropped) return false;
  size_t tasks = 0;
  if (ahead.started > 0 && !node->subdirectories.empty() && WalkIsLikelyToEnter(node)) {
    InsertInWalkOrder(&ahead.frontier, node);
    tasks += node->subdirectories.size();
  }
  if (ahead.started > 0 && node->chunkCount > 1) {
    InsertInWalkOrder(&ahead.chunked, node);
    tasks += node->chunkCount - 1;
  }
  WakeWorkers(tasks);
  if (node->chunkCount == 0) return false;
  *next = TakeChunk(node);
  return true;
}

// Finishes the task; gives the one its thread does next, if any.
bool FinishTask(const Task& task, Task* next) {
  WalkAhead& ahead = *gAhead;
  WalkNode* node = task.node;
  bool follows = false;
  if (task.kind == Task::kChunk)
    node->chunkDone[task.chunk].store(true, std::memory_order_release);
  else if (!node->directory)
    node->state = kUnreadable;
  else if (!node->read)
    node->state = kOpened;
  else
    follows = PublishRead(node, next);
  if (ahead.walkWaits) ahead.progress.notify_one();
  Unref(node);
  return follows;
}

// An open reads the listing too, unless the walk is expected to decline
// the directory.
void RunTask(const Task& task, TextStream* stream) {
  WalkNode* node = task.node;
  if (task.kind == Task::kChunk) {
    DoChunk(node, task.chunk, stream);
    return;
  }
  if (task.kind == Task::kOpen) OpenNode(node);
  if (node->directory && !node->dropped && (task.kind == Task::kRead || WalkIsLikelyToEnter(node)))
    ReadNode(node);
}

void Work(void*);

// A thread is started only when the gate first lets it be at work: a walk
// that never waits runs on as many threads as processors.  The system may
// refuse threads (a limit on tasks or on memory): the work is then done by
// those that started, or by the main thread.  Called with the lock held.
void StartAllowedWorkers() {
  WalkAhead& ahead = *gAhead;
  while (ahead.started < ahead.gate.allowed) {
    if (!StartThread(Work, nullptr)) {
      ahead.gate.workers = ahead.gate.allowed = ahead.started;
      break;
    }
    ++ahead.started;
  }
  ahead.workReady.notify_all();
}

// Runs the task and those it leads to; returns with the lock held.
void RunTasks(std::unique_lock<std::mutex>& hold, Task task, Worker* worker) {
  for (;;) {
    bool measured = MeasuresTask(gAhead->gate, ++worker->tasks);
    WaitMeter meter;
    hold.unlock();
    if (measured) StartWaitMeter(&meter);
    RunTask(task, &worker->stream);
    bool waited = measured && HasWaited(meter);
    hold = TakeLock();
    if (measured && NoteWaiting(&gAhead->gate, waited)) StartAllowedWorkers();
    Task next;
    if (!FinishTask(task, &next)) return;
    task = next;
  }
}

void Work(void*) {
  WalkAhead& ahead = *gAhead;
  Worker worker;
  std::unique_lock<std::mutex> hold = TakeLock();
  for (;;) {
    Task task;
    if (ahead.running < ahead.gate.allowed && TakeTask(&task)) {
      ++ahead.running;
      RunTasks(hold, task, &worker);
      --ahead.running;
    } else {
      ++ahead.idle;
      ahead.workReady.wait(hold);
      --ahead.idle;
    }
  }
}

// The main thread waits for work another thread does; meanwhile it does
// what work there is to take.
void HelpOrWait(std::unique_lock<std::mutex>& hold) {
  WalkAhead& ahead = *gAhead;
  Task task;
  if (TakeTask(&task)) {
    RunTasks(hold, task, &ahead.walkWorker);
    return;
  }
  ahead.walkWaits = true;
  ahead.progress.wait(hold);
  ahead.walkWaits = false;
}

}  // namespace

bool FactsLetTheWalkEnter(const DirectoryFacts& facts, const DirectoryFacts& parent) {
  if (facts.kernelFiles && !parent.kernelFiles) return false;
  return !(facts.throughLink && (parent.kernelFiles || facts.insideTree));
}

WalkNode* StartWalkAhead(Directory* start, const DirectoryFacts& facts, const ThreadPlan& plan) {
  WalkAhead& ahead = *gAhead;
  ahead.pattern = CompileDosPattern(gSettings.fileSpec);
  ahead.withText = gSettings.searchText != nullptr;
  WalkNode* root = NewNode(nullptr, 0);
  root->directory = start;
  root->facts = facts;
  root->state = kReading;
  std::unique_lock<std::mutex> hold = TakeLock();
  OpenWorkGate(&ahead.gate, plan.threads - 1, plan.matchTheWork, UsableProcessors());
  StartAllowedWorkers();
  ++root->refs;
  RunTasks(hold, Task{Task::kRead, root, 0}, &ahead.walkWorker);
  return root;
}

namespace {

// The walk has listed the directory's matches once it asks for its first
// subdirectory, or leaves it: its results and its place in the window go.
// Called with the lock held.
void DoneListing(WalkNode* node) {
  if (!node->inWindow) return;
  for (size_t chunk = 0; chunk < node->results.size(); ++chunk) FreeResults(node, chunk);
  LeaveWindow(node);
  std::vector<uint32_t>().swap(node->matches);
}

}  // namespace

// A directory without subdirectories answers without the lock: most do.
WalkNode* NextSubdirectory(WalkNode* parent) {
  if (parent->subdirectories.empty()) return nullptr;
  std::unique_lock<std::mutex> hold = TakeLock();
  DoneListing(parent);
  if (!parent->ready.empty()) {
    WalkNode* node = parent->ready.front();
    parent->ready.pop_front();
    return node;
  }
  if (parent->made == parent->subdirectories.size()) return nullptr;
  return NewNode(parent, parent->made++);
}

namespace {

// Waits until the node has left both states, doing the task that leads
// out of the first itself when nobody has begun it.
void AwaitPast(WalkNode* node, NodeState unstarted, NodeState started, Task::Kind kind) {
  NodeState state = node->state.load(std::memory_order_acquire);
  if (state != unstarted && state != started) return;
  std::unique_lock<std::mutex> hold = TakeLock();
  for (;;) {
    state = node->state;
    if (state == unstarted) {
      node->state = started;
      ++node->refs;
      RunTasks(hold, Task{kind, node, 0}, &gAhead->walkWorker);
    } else if (state == started) {
      HelpOrWait(hold);
    } else {
      return;
    }
  }
}

}  // namespace

bool AwaitOpened(WalkNode* node) {
  AwaitPast(node, kUnopened, kOpening, Task::kOpen);
  return node->state != kUnreadable;
}

const DirectoryFacts& FactsOf(const WalkNode* node) { return node->facts; }

void AwaitRead(WalkNode* node) { AwaitPast(node, kOpened, kReading, Task::kRead); }

const std::string& PathOf(const WalkNode* node) { return DirectoryPath(node->directory); }

size_t MatchCount(const WalkNode* node) { return node->matches.size(); }

// The walk takes the matches in order: a chunk's results go once it asks
// for the next chunk's.
const FindEntry* AwaitMatch(WalkNode* node, size_t index) {
  size_t chunk = index / node->chunkSize;
  bool chunkBegins = index % node->chunkSize == 0;
  if (chunkBegins && chunk > 0) {
    std::unique_lock<std::mutex> hold = TakeLock();
    FreeResults(node, chunk - 1);
    WakeWorkersForRoom();
  }
  if (!node->chunkDone[chunk].load(std::memory_order_acquire)) {
    std::unique_lock<std::mutex> hold = TakeLock();
    while (!node->chunkDone[chunk].load(std::memory_order_relaxed)) {
      if (node->nextChunk == chunk)
        RunTasks(hold, TakeChunk(node), &gAhead->walkWorker);
      else
        HelpOrWait(hold);
    }
  }
  const ChunkResult& result = *node->results[chunk];
  size_t at = index % node->chunkSize;
  return result.listed[at] ? &result.entries[at] : nullptr;
}

void LeaveDirectory(WalkNode* node) {
  std::unique_lock<std::mutex> hold = TakeLock();
  DoneListing(node);
  Unref(node);
}

void DeclineDirectory(WalkNode* node) {
  std::unique_lock<std::mutex> hold = TakeLock();
  Drop(node);
  Unref(node);
}
