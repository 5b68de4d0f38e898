// Any argument vector either completes the settings with their invariants
// or is turned away with a reason that holds.  Input: the arguments after
// the program name, separated by NUL bytes.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/run.h"
#include "common/records.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  fprintf(stderr, "broken: %s\n", what);
  abort();
}

// The index of the argument the text is, or -1.
int ArgumentIndex(const char* text, const std::vector<char*>& argv) {
  for (size_t i = 1; i < argv.size(); ++i) {
    if (text == argv[i]) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      arguments.emplace_back();
    else
      arguments.back() += static_cast<char>(data[i]);
  }
  if (arguments.size() > 64) return 0;
  std::vector<char*> argv = {const_cast<char*>("trovix")};
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  if (size == 0) argv.pop_back();  // no arguments at all
  argv.push_back(nullptr);
  const int argc = static_cast<int>(argv.size()) - 1;
  argv.pop_back();

  gSettings = SearchSettings();
  const CommandLineVerdict verdict = ReadCommandLine(argc, argv.data());
  const SearchSettings& s = gSettings;
  const bool anyCase = s.caseSensitive || s.caseInsensitive;
  switch (verdict) {
    case kSearch: {
      Require(s.startPath && s.fileSpec, "a search without both positionals");
      Require(!(s.caseSensitive && s.caseInsensitive), "a search with both case switches");
      Require((s.searchText != nullptr) == anyCase, "a text without a case switch or back");
      const int spec = ArgumentIndex(s.fileSpec, argv);
      Require(spec > 0, "the filespec is not an argument");
      const int start = ArgumentIndex(s.startPath, argv);
      if (start < 0)
        Require(strcmp(s.startPath, "\\") == 0, "the start path is neither argument nor root");
      else
        Require(start < spec, "the start path comes after the filespec");
      if (s.searchText) {
        const int text = ArgumentIndex(s.searchText, argv);
        Require(text > spec, "the text is not an argument after the filespec");
        Require(s.searchText[0] != '/' || strlen(s.searchText) > 2, "a switch taken as text");
      }
      Require(!s.foldedText, "the scan made a folded text");
      break;
    }
    case kTextMissing:
      Require(anyCase && !s.searchText, "text missing, but not so");
      break;
    case kBothCases:
      Require(s.caseSensitive && s.caseInsensitive && s.searchText, "both cases, but not so");
      break;
    case kShowUsage:
      break;
  }
  return 0;
}
