// Setting up the process on POSIX.
#include "platform/platform.h"

#include <time.h>

const bool kSlashMayStartPath = true;
const bool kLoneC1BytesAreControls = true;

void InitPlatform() {
  InitOutput();
  // The time zone is read now, not when the first line is listed, where
  // its file would take a descriptor the walk has counted on.
  tzset();
  InitDirectories();
}
