#include "output/banner.h"

#include "platform/platform.h"

const char kBanner[] = "\nTrovix 2.1 for Win32";

void PrintBanner() { Print("%s", kBanner); }
