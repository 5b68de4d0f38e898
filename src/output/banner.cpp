#include "output/banner.h"

#include "platform/platform.h"

const char kBanner[] = "\nTrovix " TROVIX_VERSION " for Win32";

void PrintBanner() { Print("%s", kBanner); }
