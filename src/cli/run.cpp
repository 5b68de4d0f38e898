#include "cli/run.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "common/records.h"
#include "output/banner.h"
#include "output/listing.h"
#include "output/pager.h"
#include "platform/platform.h"
#include "search/content_filter.h"
#include "search/thread_count.h"
#include "search/walk.h"

namespace {

const int kFailure = -1;

// An argument that begins with "/" is a switch, except where paths may
// begin with "/": there only "/" and one more character make a switch, and
// "/", "//" and the like are the root directory.
bool IsSwitch(const char* argument) {
  if (argument[0] != '/') return false;
  if (!kSlashMayStartPath) return true;
  return strlen(argument) <= 2 && strspn(argument, "/") != strlen(argument);
}

std::string Formatted(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int length = vsnprintf(nullptr, 0, format, args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  va_end(args);
  return text;
}

// A typed text as it may reach the terminal: its control characters as "?".
std::string Shown(const char* typed) {
  std::string text(typed);
  ReplaceControlBytes(&text[0]);
  text.resize(strlen(text.c_str()));
  return text;
}

std::string SearchHeader() {
  std::string start = Shown(gSettings.startPath), spec = Shown(gSettings.fileSpec);
  if (!gSettings.searchText)
    return Formatted("\n\nSearch %s for %s\n\n", start.c_str(), spec.c_str());
  return Formatted("\n\nSearch %s for %s containing (%s) %s\n\n", start.c_str(), spec.c_str(),
                   gSettings.caseSensitive ? "sensitive" : "insensitive",
                   Shown(gSettings.searchText).c_str());
}

// True when the option is the one and only argument: only then do --help,
// -h and --version answer, so every other command line keeps its meaning.
bool IsOnlyArgument(int argc, char** argv, const char* option) {
  return argc == 2 && strcmp(argv[1], option) == 0;
}

// What --help adds to the usage text: how this build reads a command line.
void PrintHelpForThisSystem() {
  if (!kSlashMayStartPath) {
    Print(
        "\n"
        "Exit status: 0 after a search or a quit at the prompt; -1 after a usage\n"
        "error or a start directory that cannot be entered.\n");
    return;
  }
  Print(
      "\n"
      "On Linux a switch is \"/\" and one letter; a longer argument that begins\n"
      "with \"/\" is a path or a text, and \"/\" alone is the root directory, as is\n"
      "the start when startpath is omitted. Quote the filespec, so that the shell\n"
      "does not expand it:\n"
      "trovix /usr/include '*.h' /i mutex\n"
      "trovix ~/notes '*.txt' /C Budget /P\n"
      "\n"
      "Exit status: 0 after a search or a quit at the prompt; 255 after a usage\n"
      "error, a start directory that cannot be entered, or output that cannot be\n"
      "written.\n"
      "\n"
      "See man trovix for more.\n");
}

}  // namespace

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
  if (IsOnlyArgument(argc, argv, "--help") || IsOnlyArgument(argc, argv, "-h")) {
    PrintUsage();
    PrintHelpForThisSystem();
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
  std::string header = SearchHeader();
  Print("%s", header.c_str());
  StartPageCount(header.c_str());
  DirectoryFacts facts;
  Directory* start = OpenStartDirectory(gSettings.startPath, &facts);
  if (!start) {
    Print("Error: Unable to enter %s\n", Shown(gSettings.startPath).c_str());
    return kFailure;
  }
  ThreadPlan plan = PlanThreads();
  plan.threads = ThreadsWithinFileLimit(plan.threads);
  WalkTree(start, facts, plan);
  PageTick(0);
  Print("\n%u file(s) found\n", gListing.foundCount);
  return 0;
}
