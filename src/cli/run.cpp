#include "cli/run.h"

#include <string.h>

#include "common/records.h"
#include "output/pager.h"
#include "platform/platform.h"
#include "search/content_filter.h"
#include "search/walk.h"

namespace {

const int kFailure = -1;

// An argument that begins with "/" is a switch, except where paths may
// begin with "/": there only "/" and one more character make a switch.
bool IsSwitch(const char* argument) {
  if (argument[0] != '/') return false;
  return !kSlashMayStartPath || strlen(argument) <= 2;
}

void PrintSearchHeader() {
  if (!gSettings.searchText)
    Print("\n\nSearch %s for %s\n\n", gSettings.startPath, gSettings.fileSpec);
  else if (gSettings.caseSensitive)
    Print("\n\nSearch %s for %s containing (sensitive) %s\n\n", gSettings.startPath,
          gSettings.fileSpec, gSettings.searchText);
  else
    Print("\n\nSearch %s for %s containing (insensitive) %s\n\n", gSettings.startPath,
          gSettings.fileSpec, gSettings.searchText);
}

// True when the option is the one and only argument: only then do --help and
// --version answer, so every other command line keeps its meaning.
bool IsOnlyArgument(int argc, char** argv, const char* option) {
  return argc == 2 && strcmp(argv[1], option) == 0;
}

}  // namespace

void PrintBanner() { Print("\nTrovix 2.1 for Win32"); }

int PrintUsage() {
  Print(
      "\n\nSyntax: trovix [startpath] filespec [/C text] [/I text] [/P]\n"
      "\n"
      "If startpath is omitted, searching will begin in the root directory of the\n"
      "current drive. If a startpath is specified, the search will only involve that\n"
      "directory and its subdirectories.\n"
      "\n"
      "/C matches files that contain the case sensitive search text\n"
      "/I matches files that contain the case insensitive search text\n"
      "/P pauses the output to show one screen at a time\n"
      "\n"
      "Examples of usage:\n"
      "trovix *.txt /p\n"
      "trovix c:\\ *.doc /i budget\n");
  return kFailure;
}

bool ParseCommandLine(int argc, char** argv) {
  bool switchSeen = false;
  bool textExpected = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (IsSwitch(argument)) {
      switchSeen = true;
      switch (argument[1]) {
        case 'C':
        case 'c':
          gSettings.caseSensitive = true;
          textExpected = true;
          break;
        case 'I':
        case 'i':
          gSettings.caseInsensitive = true;
          textExpected = true;
          break;
        case 'P':
        case 'p':
          gSettings.pause = true;
          break;
        default:
          return false;
      }
    } else if (!switchSeen) {
      if (!gSettings.startPath)
        gSettings.startPath = argument;
      else if (!gSettings.fileSpec)
        gSettings.fileSpec = argument;
      else
        return false;
    } else if (textExpected) {
      gSettings.searchText = argument;
      textExpected = false;
    } else {
      return false;
    }
  }
  return true;
}

CommandLineVerdict ReadCommandLine(int argc, char** argv) {
  if (argc < 2 || !ParseCommandLine(argc, argv)) return kShowUsage;
  if (!gSettings.fileSpec) {
    if (!gSettings.startPath) return kShowUsage;
    gSettings.fileSpec = gSettings.startPath;
    gSettings.startPath = "\\";
  }
  if ((gSettings.caseSensitive || gSettings.caseInsensitive) && !gSettings.searchText)
    return kTextMissing;
  if (gSettings.caseSensitive && gSettings.caseInsensitive) return kBothCases;
  return kSearch;
}

int RunSearch(int argc, char** argv) {
  Console* console = GetConsoleOutput();
  PrintBanner();
  if (IsOnlyArgument(argc, argv, "--version")) {
    Print("\n");
    return 0;
  }
  if (IsOnlyArgument(argc, argv, "--help")) {
    PrintUsage();
    return 0;
  }
  switch (ReadCommandLine(argc, argv)) {
    case kShowUsage:
      return PrintUsage();
    case kTextMissing:
      Print("\n\nPlease specify text to search for after /C or /I\n");
      return kFailure;
    case kBothCases:
      Print("\n\nDo either a /case-sensitive or /insensitive search, but not both.\n");
      return kFailure;
    case kSearch:
      break;
  }
  if (gSettings.pause) SetUpPager(console);
  if (gSettings.searchText) PrepareFoldedText();
  PrintSearchHeader();
  StartPageCount();
  if (!SetCurrentDir(gSettings.startPath)) {
    Print("Error: Unable to enter %s\n", gSettings.startPath);
    return kFailure;
  }
  WalkTree();
  PageTick();
  Print("\n%u file(s) found\n", gListing.foundCount);
  return 0;
}
