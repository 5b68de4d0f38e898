#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/directory_win32.h"
#include "platform/file.h"

namespace {

// The listing has filled the whole entry already.  A directory cannot be
// opened this way, so it never passes.
FileHandle OpenByPath(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kNoFile;
  return reinterpret_cast<FileHandle>(handle);
}

}  // namespace

FileHandle OpenListedFile(Directory* directory, const Listing* listing, size_t index,
                          FindEntry*) {
  return OpenByPath(ExtendedPathOfEntry(directory, listing, index));
}

bool IdentifyFile(FileHandle file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(file), &info)) return false;
  FILE_BASIC_INFO times;
  if (!GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(file), FileBasicInfo, &times,
                                    sizeof times))
    return false;
  *identity = FileIdentity{info.dwVolumeSerialNumber,
                           (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                           (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                           static_cast<uint64_t>(times.LastWriteTime.QuadPart),
                           static_cast<uint64_t>(times.ChangeTime.QuadPart),
                           info.nNumberOfLinks > 1};
  return true;
}

// Holes are read like any data here: they cost time, never a wrong answer.
bool SkipHole(FileHandle) { return false; }

size_t ReadFileBlock(FileHandle file, void* block, size_t size) {
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), block, static_cast<DWORD>(size), &got, nullptr))
    return 0;
  return got;
}

void CloseFile(FileHandle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }
