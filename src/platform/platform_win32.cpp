// The platform operations over kernel32 and the C runtime.
//
// The current directory is kept here as a logical path beside the
// process's own.  While that path fits, the process's current directory
// follows it and the ANSI operations work relative to it, as they always
// have.  Below the depth that SetCurrentDirectoryA accepts, the process
// stays where it was and every operation reaches the deep directory by its
// full path through the wide functions and the "\\?\" prefix, so no entry
// is lost to the length limit.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <conio.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

const bool kSlashMayStartPath = false;

// The filespec must reach the program as typed: the runtime's start-up code
// would otherwise replace "*.txt" by the names it matches in the directory
// the program was started from.
extern "C" {
int _dowildcard = 0;
}

namespace {

// ---------------------------------------------------------------------------
// Paths

std::string gLogicalPath;  // the current directory's full path
// True when the process's current directory cannot follow the logical one:
// too deep for it, or gone from under the walk.
bool gBeyondProcessDir = false;

std::wstring Widen(const std::string& text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                        length);
  return wide;
}

std::string Narrow(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(size - 1));
  return narrow;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (!directory.empty() && IsSeparator(directory.back())) return directory + name;
  return directory + "\\" + name;
}

// The length of the part no ".." can climb above: "C:\" or "\\server\share\".
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t serverEnd = path.find_first_of("\\/", 2);
    if (serverEnd == std::string::npos) return path.size();
    size_t shareEnd = path.find_first_of("\\/", serverEnd + 1);
    return shareEnd == std::string::npos ? path.size() : shareEnd + 1;
  }
  if (path.size() >= 3 && path[1] == ':') return 3;
  return path.size();
}

// ".." taken by the text, as Windows takes it: the parent of the path the
// walk went down, also when the last step went through a junction.
std::string ParentPath(const std::string& path) {
  size_t root = RootLength(path);
  if (path.size() <= root) return path;
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos || cut < root) return path.substr(0, root);
  return path.substr(0, cut);
}

// The wide form that no length limit applies to.  It takes the path
// literally, so the path must be full and have only "\" separators.
std::wstring ExtendedPath(const std::string& fullPath) {
  std::wstring wide = Widen(fullPath);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
}

std::string ProcessCurrentDir() {
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  if (size == 0) return std::string();
  std::string path(size, '\0');
  DWORD length = GetCurrentDirectoryA(size, &path[0]);
  if (length == 0 || length >= size) return std::string();
  path.resize(length);
  return path;
}

// A path taken against the logical current directory, which the process's
// own stops following below the length limit.  "C:name" keeps the meaning
// the runtime gives it, the current directory of that drive.
std::string AgainstCurrentDir(const std::string& path) {
  if (gLogicalPath.empty() || path.empty()) return path;
  if (path.size() >= 2 && (path[1] == ':' || (IsSeparator(path[0]) && IsSeparator(path[1]))))
    return path;
  if (IsSeparator(path[0]))
    return JoinPath(gLogicalPath.substr(0, RootLength(gLogicalPath)), path.substr(1));
  return JoinPath(gLogicalPath, path);
}

std::string FullPathOf(const char* path) {
  std::wstring wide = Widen(AgainstCurrentDir(path));
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::string();
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return std::string();
  full.resize(length);
  return Narrow(full.c_str());
}

// ---------------------------------------------------------------------------
// Directory identity, for the once-per-run rule

typedef std::tuple<DWORD, DWORD, DWORD> DirectoryId;  // volume serial, file index

std::set<DirectoryId> gWalked;
// The start directory's final path, with every link resolved, once the
// walk has claimed it.
std::wstring gTreeRoot;

HANDLE OpenDirectory(const std::string& fullPath) {
  return CreateFileW(ExtendedPath(fullPath).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool ReadDirectoryInformation(const std::string& fullPath, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = OpenDirectory(fullPath);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool read = GetFileInformationByHandle(handle, info) != 0;
  CloseHandle(handle);
  return read && (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---------------------------------------------------------------------------
// Entering directories

// Only a path too long for the process's current directory takes the
// wide way; any other refusal stands.
bool RefusedForLength(const std::string& fullPath) {
  return GetLastError() == ERROR_FILENAME_EXCED_RANGE || fullPath.size() >= MAX_PATH - 2;
}

bool EnterFullPath(const std::string& fullPath) {
  if (fullPath.empty()) return false;
  if (SetCurrentDirectoryA(fullPath.c_str())) {
    std::string entered = ProcessCurrentDir();
    gLogicalPath = entered.empty() ? fullPath : entered;
    gBeyondProcessDir = false;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!RefusedForLength(fullPath) || !ReadDirectoryInformation(fullPath, &info)) return false;
  gLogicalPath = fullPath;
  gBeyondProcessDir = true;
  return true;
}

// The walk goes on from the parent even when the parent cannot be entered
// (it was removed or renamed under the walk): its remaining entries are
// reached by full path, and the walk keeps its place.
bool LeaveToParent() {
  std::string parent = ParentPath(gLogicalPath);
  if (EnterFullPath(parent)) return true;
  gLogicalPath = parent;
  gBeyondProcessDir = true;
  return false;
}

// The full path of a name in the current directory, for the wide way.
std::wstring ExtendedPathInCurrentDir(const char* name) {
  return ExtendedPath(JoinPath(gLogicalPath, name));
}

bool IsBareName(const char* path) {
  return strpbrk(path, "\\/:") == nullptr && strcmp(path, ".") != 0 && strcmp(path, "..") != 0;
}

}  // namespace

bool SetCurrentDir(const char* path) {
  if (!path || !*path) return false;
  if (strcmp(path, "..") == 0) return LeaveToParent();
  if (IsBareName(path)) return EnterFullPath(JoinPath(gLogicalPath, path));
  return EnterFullPath(FullPathOf(path));
}

void GetCurrentDir(char* buffer, size_t size) {
  if (size == 0) return;
  size_t length = gLogicalPath.size() < size - 1 ? gLogicalPath.size() : size - 1;
  memcpy(buffer, gLogicalPath.data(), length);
  buffer[length] = '\0';
}

namespace {

std::wstring FinalPathOf(HANDLE directory) {
  DWORD size = GetFinalPathNameByHandleW(directory, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return std::wstring();
  std::wstring path(size, L'\0');
  DWORD length = GetFinalPathNameByHandleW(directory, &path[0], size, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= size) return std::wstring();
  path.resize(length);
  return path;
}

// The attributes of the name itself: a junction's, not its target's.
bool IsLink(const std::string& fullPath) {
  DWORD attributes = GetFileAttributesW(ExtendedPath(fullPath).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsInsideTree(const std::wstring& path) {
  if (gTreeRoot.empty() || path.empty()) return false;
  if (CompareStringOrdinal(path.c_str(), static_cast<int>(std::min(path.size(), gTreeRoot.size())),
                           gTreeRoot.c_str(), static_cast<int>(gTreeRoot.size()), TRUE) !=
      CSTR_EQUAL)
    return false;
  return path.size() == gTreeRoot.size() || gTreeRoot.back() == L'\\' ||
         path[gTreeRoot.size()] == L'\\';
}

}  // namespace

// The start directory is searched however it was reached.  Below it, a
// junction or link to a directory inside the tree is listed but not
// entered: the directory is walked where it stands.
bool ClaimCurrentDirectory() {
  HANDLE handle = OpenDirectory(gLogicalPath);
  if (handle == INVALID_HANDLE_VALUE) return true;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(handle, &info) != 0;
  bool refused = false;
  if (gWalked.empty())
    gTreeRoot = FinalPathOf(handle);
  else if (known && IsLink(gLogicalPath))
    refused = IsInsideTree(FinalPathOf(handle));
  CloseHandle(handle);
  if (!known) return true;
  DirectoryId id(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  return !refused && gWalked.insert(id).second;
}

// ---------------------------------------------------------------------------
// Enumeration

struct Enumeration {
  HANDLE handle;
  bool wide;
};

namespace {

void CopyName(const char* name, FindEntry* entry) {
  size_t length = strlen(name);
  if (length >= sizeof entry->name) length = sizeof entry->name - 1;
  memcpy(entry->name, name, length);
  entry->name[length] = '\0';
}

uint64_t JoinFileTime(const FILETIME& time) {
  return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

void FillEntry(const WIN32_FIND_DATAA& data, FindEntry* entry) {
  entry->attributes = data.dwFileAttributes;
  entry->lastWriteTime = JoinFileTime(data.ftLastWriteTime);
  entry->size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  CopyName(data.cFileName, entry);
}

void FillEntry(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  entry->attributes = data.dwFileAttributes;
  entry->lastWriteTime = JoinFileTime(data.ftLastWriteTime);
  entry->size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  CopyName(Narrow(data.cFileName).c_str(), entry);
}

}  // namespace

Enumeration* FindFirstEntry(const char* pattern, EntryDetail, FindEntry* entry) {
  if (gBeyondProcessDir) {
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileW(ExtendedPathInCurrentDir(pattern).c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    FillEntry(data, entry);
    return new Enumeration{handle, true};
  }
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(pattern, &data);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  FillEntry(data, entry);
  return new Enumeration{handle, false};
}

bool FindNextEntry(Enumeration* enumeration, FindEntry* entry) {
  if (enumeration->wide) {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(enumeration->handle, &data)) return false;
    FillEntry(data, entry);
    return true;
  }
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(enumeration->handle, &data)) return false;
  FillEntry(data, entry);
  return true;
}

void CloseEnumeration(Enumeration* enumeration) {
  FindClose(enumeration->handle);
  delete enumeration;
}

// ---------------------------------------------------------------------------
// Files

// The enumeration has filled the whole entry already.  A directory cannot
// be opened this way, so it never passes.
FileHandle OpenEntryForReading(FindEntry* entry) {
  HANDLE handle;
  if (gBeyondProcessDir)
    handle = CreateFileW(ExtendedPathInCurrentDir(entry->name).c_str(), GENERIC_READ,
                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  else
    handle = CreateFileA(entry->name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kNoFile;
  return reinterpret_cast<FileHandle>(handle);
}

size_t ReadFileBlock(FileHandle file, void* block, size_t size) {
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), block, static_cast<DWORD>(size), &got, nullptr))
    return 0;
  return got;
}

void CloseFile(FileHandle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

// ---------------------------------------------------------------------------
// Time

// Through UTC calendar fields, so the bias in force at that instant
// applies: FileTimeToLocalFileTime would apply today's daylight-saving
// bias to every date and show a summer file an hour off in winter.
void LastWriteToLocal(uint64_t fileTime, CalendarTime* local) {
  *local = CalendarTime{0, 0, 0, 0, 0, 0};
  FILETIME utcTime;
  utcTime.dwLowDateTime = static_cast<DWORD>(fileTime);
  utcTime.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  SYSTEMTIME utc, fields;
  if (!FileTimeToSystemTime(&utcTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &fields))
    return;
  *local = CalendarTime{fields.wYear, fields.wMonth, fields.wDay,
                        fields.wHour, fields.wMinute, fields.wSecond};
}

// ---------------------------------------------------------------------------
// Output

namespace {

bool gOutputIsConsole = false;

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A listing cut short must never end with status 0.  A reader that went
// away (the pipe closed) ends the run quietly; any other failure to write
// is reported.
[[noreturn]] void FailOutput(int error) {
  DWORD cause = GetLastError();  // the runtime maps a closed pipe to EINVAL
  bool readerGone = error == EPIPE || cause == ERROR_NO_DATA || cause == ERROR_BROKEN_PIPE ||
                    cause == ERROR_PIPE_NOT_CONNECTED;
  if (!readerGone) fprintf(stderr, "trovix: cannot write standard output: %s\n", strerror(error));
  _exit(-1);
}

}  // namespace

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = vfprintf(stdout, format, args);
  va_end(args);
  if (result >= 0 && gOutputIsConsole) result = fflush(stdout);
  if (result < 0 || ferror(stdout)) FailOutput(errno);
}

// Wine's runtime can report a failed flush as a success and mark only the
// stream's error flag.
void EndProcess(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) FailOutput(errno);
  exit(status);
}

// ---------------------------------------------------------------------------
// Console

struct Console {
  HANDLE handle;
};

namespace {
Console gConsole;
}  // namespace

Console* GetConsoleOutput() {
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!IsConsole(handle)) return nullptr;
  gConsole.handle = handle;
  return &gConsole;
}

ConsoleSize ClearScreen(Console* console) {
  fflush(stdout);
  const COORD kTopLeft = {0, 0};
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  DWORD written;
  GetConsoleScreenBufferInfo(console->handle, &info);
  DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  FillConsoleOutputCharacterA(console->handle, ' ', cells, kTopLeft, &written);
  GetConsoleScreenBufferInfo(console->handle, &info);
  FillConsoleOutputAttribute(console->handle, info.wAttributes, cells, kTopLeft, &written);
  SetConsoleCursorPosition(console->handle, kTopLeft);
  GetConsoleScreenBufferInfo(console->handle, &info);
  return ConsoleSize{info.srWindow.Bottom, info.dwSize.X};
}

// A key without a character (an arrow, a function key) arrives as two
// codes, 0 or 0xE0 and then its scan code; both belong to one press, and
// the scan code of Page Down equals "Q", so the press gives its first code.
int ReadKey() {
  int key = _getch();
  if (key == EOF) return -1;
  if (key == 0 || key == 0xE0) _getch();
  return key;
}

// ---------------------------------------------------------------------------

void InitPlatform() {
  gOutputIsConsole = IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
  if (!gOutputIsConsole) setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  gLogicalPath = ProcessCurrentDir();
}
