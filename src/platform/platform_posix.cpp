// Setting up the process on POSIX.
#include "platform/platform.h"

const bool kSlashMayStartPath = true;

void InitPlatform() {
  InitOutput();
  InitCurrentDirectory();
}
