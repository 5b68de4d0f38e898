// Directory listings over kernel32: one enumeration of every entry per
// visit, with the attributes, sizes and times it carries, so no entry needs
// a call of its own.
#include "platform/listing.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/directory_win32.h"

struct Listing {
  struct Item {
    uint32_t attributes;
    uint64_t lastWriteTime;
    uint64_t size;
    size_t name;  // into names: as shown, in the ANSI code page
    size_t wide;  // into wideNames: as the file system holds it
  };
  std::string names;       // every name followed by a NUL
  std::wstring wideNames;  // likewise
  std::vector<Item> items;
};

namespace {

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

uint64_t JoinFileTime(const FILETIME& time) {
  return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

void AddItem(const WIN32_FIND_DATAW& data, Listing* listing) {
  if (IsDotName(data.cFileName)) return;
  Listing::Item item = {data.dwFileAttributes, JoinFileTime(data.ftLastWriteTime),
                        static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
                        listing->names.size(), listing->wideNames.size()};
  std::string shown = Narrow(data.cFileName);
  listing->names.append(shown.c_str(), shown.size() + 1);
  listing->wideNames.append(data.cFileName, wcslen(data.cFileName) + 1);
  listing->items.push_back(item);
}

}  // namespace

// The basic information leaves out the short names, and the large fetch
// asks for many entries at each call.
Listing* ReadListing(Directory* directory) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileExW((ExtendedPathOf(directory) + L"\\*").c_str(), FindExInfoBasic,
                                   &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return nullptr;
  std::unique_ptr<Listing> listing(new Listing);
  do {
    AddItem(data, listing.get());
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return listing.release();
}

void FreeListing(Listing* listing) { delete listing; }

size_t ListingSize(const Listing* listing) { return listing->items.size(); }

const char* ListingName(const Listing* listing, size_t index) {
  return listing->names.c_str() + listing->items[index].name;
}

const wchar_t* ListingWideName(const Listing* listing, size_t index) {
  return listing->wideNames.c_str() + listing->items[index].wide;
}

bool IsListedDirectory(Directory*, const Listing* listing, size_t index) {
  return (listing->items[index].attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DescribeEntry(Directory*, const Listing* listing, size_t index, EntryDetail,
                   FindEntry* entry) {
  const Listing::Item& item = listing->items[index];
  *entry = FindEntry{item.attributes, item.lastWriteTime, item.size, ListingName(listing, index)};
  return true;
}
