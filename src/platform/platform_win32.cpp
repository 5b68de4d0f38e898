// Setting up the process on Windows.
#include "platform/platform.h"

const bool kSlashMayStartPath = false;
const bool kLoneC1BytesAreControls = false;

// The filespec must reach the program as typed: the runtime's start-up code
// would otherwise replace "*.txt" by the names it matches in the directory
// the program was started from.
extern "C" {
int _dowildcard = 0;
}

void InitPlatform() {
  InitOutput();
  InitDirectories();
}
