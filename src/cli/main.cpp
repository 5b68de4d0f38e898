#include "cli/run.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  InitPlatform();
  EndProcess(RunSearch(argc, argv));
}
