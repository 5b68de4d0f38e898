// Directories over kernel32.  A directory is its full path in the "\\?\"
// form, to which no length limit applies, built from the real (wide) names
// the walk went through, so the process's own current directory never
// changes and no name is lost to the ANSI code page.
#include "platform/directory.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "platform/directory_win32.h"
#include "platform/listing.h"

struct Directory {
  std::wstring path;  // "\\?\C:\a\b"
  std::string shown;  // "C:\a\b", in the ANSI code page
};

namespace {

// The start of the tree, with every link resolved, once it is open.
std::wstring* gTreeRoot = new std::wstring;

std::wstring Widen(const std::string& text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                        length);
  return wide;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The length of the part no ".." can climb above: "C:\" or "\\server\share\".
size_t RootLength(const std::wstring& path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t serverEnd = path.find_first_of(L"\\/", 2);
    if (serverEnd == std::wstring::npos) return path.size();
    size_t shareEnd = path.find_first_of(L"\\/", serverEnd + 1);
    return shareEnd == std::wstring::npos ? path.size() : shareEnd + 1;
  }
  if (path.size() >= 3 && path[1] == L':') return 3;
  return path.size();
}

// GetFullPathName keeps a trailing "\" that the current directory of a
// process never shows, but for a root.
std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > RootLength(path) && IsSeparator(path.back())) path.pop_back();
  return path;
}

std::wstring JoinPath(const std::wstring& directory, const wchar_t* name) {
  if (!directory.empty() && IsSeparator(directory.back())) return directory + name;
  return directory + L"\\" + name;
}

// The wide form that no length limit applies to.  It takes the path
// literally, so the path must be full and have only "\" separators.
std::wstring ExtendedPath(std::wstring fullPath) {
  std::replace(fullPath.begin(), fullPath.end(), L'/', L'\\');
  if (fullPath.compare(0, 4, L"\\\\?\\") == 0) return fullPath;
  if (fullPath.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + fullPath.substr(2);
  return L"\\\\?\\" + fullPath;
}

// "..", "." and a path that begins with "\" taken against the process's
// current directory, as the runtime takes them; "C:name" keeps the meaning
// it gives it, the current directory of that drive.
std::wstring FullPathOf(const char* path) {
  std::wstring wide = Widen(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  return WithoutTrailingSeparator(full);
}

std::wstring FinalPathOf(HANDLE directory) {
  DWORD size = GetFinalPathNameByHandleW(directory, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return std::wstring();
  std::wstring path(size, L'\0');
  DWORD length = GetFinalPathNameByHandleW(directory, &path[0], size, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= size) return std::wstring();
  path.resize(length);
  return path;
}

bool IsInsideTree(const std::wstring& path) {
  const std::wstring& root = *gTreeRoot;
  if (root.empty() || path.empty()) return false;
  if (CompareStringOrdinal(path.c_str(), static_cast<int>(std::min(path.size(), root.size())),
                           root.c_str(), static_cast<int>(root.size()), TRUE) != CSTR_EQUAL)
    return false;
  return path.size() == root.size() || root.back() == L'\\' || path[root.size()] == L'\\';
}

// Opens the directory for its identity; with a final path for a link, or
// for the start of the tree.  False when it is no directory that can be
// entered.
bool IdentifyDirectory(const std::wstring& path, bool throughLink, bool isStart,
                       DirectoryFacts* facts) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(handle, &info) != 0 &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  *facts = DirectoryFacts{0, 0, throughLink, false, false};
  if (known) {
    facts->volume = info.dwVolumeSerialNumber;
    facts->file = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    if (isStart) *gTreeRoot = FinalPathOf(handle);
    if (throughLink) facts->insideTree = IsInsideTree(FinalPathOf(handle));
  }
  CloseHandle(handle);
  return known;
}

}  // namespace

std::string Narrow(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(size - 1));
  return narrow;
}

void InitDirectories() {}

Directory* OpenStartDirectory(const char* path, DirectoryFacts* facts) {
  if (!path || !*path) return nullptr;
  std::wstring full = FullPathOf(path);
  if (full.empty()) return nullptr;
  std::wstring extended = ExtendedPath(full);
  if (!IdentifyDirectory(extended, false, true, facts)) return nullptr;
  return new Directory{extended, Narrow(full.c_str())};
}

// A junction or a symbolic link shows as a reparse point in its parent's
// listing.
Directory* OpenSubdirectory(Directory* parent, const Listing* listing, size_t index,
                            DirectoryFacts* facts) {
  std::wstring path = JoinPath(parent->path, ListingWideName(listing, index));
  FindEntry entry;
  DescribeEntry(parent, listing, index, kNameAndKind, &entry);
  bool throughLink = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!IdentifyDirectory(path, throughLink, false, facts)) return nullptr;
  std::string shown = parent->shown;
  if (shown.empty() || shown.back() != '\\') shown += '\\';
  return new Directory{path, shown + ListingName(listing, index)};
}

bool HoldDirectory(Directory*) { return true; }

void ReleaseDirectory(Directory*) {}

void CloseDirectory(Directory* directory) { delete directory; }

const std::string& DirectoryPath(const Directory* directory) { return directory->shown; }

// A process may hold handles by the thousand.
int ThreadsWithinFileLimit(int wanted) { return wanted; }

const std::wstring& ExtendedPathOf(const Directory* directory) { return directory->path; }

std::wstring ExtendedPathOfEntry(const Directory* directory, const Listing* listing,
                                 size_t index) {
  return JoinPath(directory->path, ListingWideName(listing, index));
}
