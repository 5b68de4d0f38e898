// Directories over kernel32.  The current directory is kept here as a
// logical path; every operation reaches a directory by its full path
// through the wide functions and the "\\?\" form, to which no length
// limit applies, so the process's own current directory never changes.
#include "platform/directory.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

#include "platform/directory_win32.h"

namespace {

// ---------------------------------------------------------------------------
// Paths

typedef std::tuple<DWORD, DWORD, DWORD> DirectoryId;  // volume serial, file index

struct Cursor {
  std::string path;  // the current directory's full path
  std::set<DirectoryId> walked;
  // The start directory's final path, with every link resolved, once the
  // walk has claimed it.
  std::wstring treeRoot;
};
Cursor gCursor;

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

}  // namespace

namespace {

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
  if (gCursor.path.empty() || path.empty()) return path;
  if (path.size() >= 2 && (path[1] == ':' || (IsSeparator(path[0]) && IsSeparator(path[1]))))
    return path;
  if (IsSeparator(path[0]))
    return JoinPath(gCursor.path.substr(0, RootLength(gCursor.path)), path.substr(1));
  return JoinPath(gCursor.path, path);
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

// GetFullPathName keeps a trailing "\\" that the current directory of a
// process never shows, but for a root.
std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > RootLength(path) && IsSeparator(path.back())) path.pop_back();
  return path;
}

bool EnterFullPath(const std::string& fullPath) {
  BY_HANDLE_FILE_INFORMATION info;
  if (fullPath.empty() || !ReadDirectoryInformation(fullPath, &info)) return false;
  gCursor.path = WithoutTrailingSeparator(fullPath);
  return true;
}

// The walk goes on from the parent even when the parent cannot be entered
// (it was removed or renamed under the walk): its remaining entries are
// reached by full path, and the walk keeps its place.
bool LeaveToParent() {
  std::string parent = ParentPath(gCursor.path);
  if (EnterFullPath(parent)) return true;
  gCursor.path = parent;
  return false;
}

bool IsBareName(const char* path) {
  return strpbrk(path, "\\/:") == nullptr && strcmp(path, ".") != 0 && strcmp(path, "..") != 0;
}

}  // namespace

std::wstring ExtendedPathIn(const std::string& directory, const char* name) {
  return ExtendedPath(JoinPath(directory, name));
}

std::wstring ExtendedPathInCurrentDir(const char* name) {
  return ExtendedPathIn(gCursor.path, name);
}

const std::string& CurrentDirPath() { return gCursor.path; }

bool SetCurrentDir(const char* path) {
  if (!path || !*path) return false;
  if (strcmp(path, "..") == 0) return LeaveToParent();
  if (IsBareName(path)) return EnterFullPath(JoinPath(gCursor.path, path));
  return EnterFullPath(FullPathOf(path));
}

void GetCurrentDir(char* buffer, size_t size) {
  if (size == 0) return;
  size_t length = std::min(gCursor.path.size(), size - 1);
  memcpy(buffer, gCursor.path.data(), length);
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
  const std::wstring& root = gCursor.treeRoot;
  if (root.empty() || path.empty()) return false;
  if (CompareStringOrdinal(path.c_str(), static_cast<int>(std::min(path.size(), root.size())),
                           root.c_str(), static_cast<int>(root.size()), TRUE) != CSTR_EQUAL)
    return false;
  return path.size() == root.size() || root.back() == L'\\' || path[root.size()] == L'\\';
}

}  // namespace

// The start directory is searched however it was reached.  Below it, a
// junction or link to a directory inside the tree is listed but not
// entered: the directory is walked where it stands.
bool ClaimCurrentDirectory() {
  HANDLE handle = OpenDirectory(gCursor.path);
  if (handle == INVALID_HANDLE_VALUE) return true;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(handle, &info) != 0;
  bool refused = false;
  if (gCursor.walked.empty())
    gCursor.treeRoot = FinalPathOf(handle);
  else if (known && IsLink(gCursor.path))
    refused = IsInsideTree(FinalPathOf(handle));
  CloseHandle(handle);
  if (!known) return true;
  DirectoryId id(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  return !refused && gCursor.walked.insert(id).second;
}

// ---------------------------------------------------------------------------
// Enumeration

struct Enumeration {
  HANDLE handle;
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

void FillEntry(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  entry->attributes = data.dwFileAttributes;
  entry->lastWriteTime = JoinFileTime(data.ftLastWriteTime);
  entry->size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  CopyName(Narrow(data.cFileName).c_str(), entry);
}

}  // namespace

Enumeration* FindFirstEntry(const char* pattern, EntryDetail, FindEntry* entry) {
  WIN32_FIND_DATAW data;
  HANDLE handle = FindFirstFileW(ExtendedPathInCurrentDir(pattern).c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  FillEntry(data, entry);
  return new Enumeration{handle};
}

bool FindNextEntry(Enumeration* enumeration, FindEntry* entry) {
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(enumeration->handle, &data)) return false;
  FillEntry(data, entry);
  return true;
}

void CloseEnumeration(Enumeration* enumeration) {
  FindClose(enumeration->handle);
  delete enumeration;
}

void InitCurrentDirectory() { gCursor.path = ProcessCurrentDir(); }
