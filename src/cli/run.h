// Run control: the banner, the command line, the search header, the walk
// and the summary.
#ifndef TROVIX_CLI_RUN_H_
#define TROVIX_CLI_RUN_H_

// Runs one search over the command line; gives the exit status: 0 after a
// completed run, or after --help, -h or --version as the only argument; -1
// after a usage text, a rejected command line, or a start directory that
// cannot be entered.
int RunSearch(int argc, char** argv);

// Fills gSettings from the arguments after the program name; false when
// the command line is rejected.
bool ParseCommandLine(int argc, char** argv);

// What the command line asks for once it is scanned and checked.
enum CommandLineVerdict {
  kSearch,       // gSettings is complete: both positionals, at most one case
                 // switch, and a text exactly when there is one
  kShowUsage,    // malformed: the usage text
  kTextMissing,  // "/C" or "/I" without a text
  kBothCases,    // both "/C" and "/I"
};

// Scans the arguments into gSettings, completes the positionals and checks
// the switches, printing nothing.
CommandLineVerdict ReadCommandLine(int argc, char** argv);

// Prints the usage text; gives -1.
int PrintUsage();

#endif  // TROVIX_CLI_RUN_H_
