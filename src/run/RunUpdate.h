#pragma once

#include "run/RunPlatform.h"

// The whole run; returns the process exit code, 0 or 1603.
int RunUpdate(int argc, wchar_t* argv[], const RunPlatform& platform = SystemPlatform());
