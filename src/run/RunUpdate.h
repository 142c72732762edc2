#pragma once

#include "run/RunPlatform.h"

// The whole run; returns the process exit code: 0, 1603, or 1618 when another staged run is at work.
int RunUpdate(int argc, wchar_t* argv[], const RunPlatform& platform = SystemPlatform());
