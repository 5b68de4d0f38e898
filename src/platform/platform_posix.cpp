// Setting up the process on POSIX.
#include "platform/platform.h"

const bool kSlashMayStartPath = true;
const bool kLoneC1BytesAreControls = true;

void InitPlatform() {
  InitOutput();
  InitDirectories();
}
