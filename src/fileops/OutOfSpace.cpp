#include "fileops/OutOfSpace.h"

#include <windows.h>

bool IsOutOfSpace(std::uint32_t dwCode) { return dwCode == ERROR_DISK_FULL || dwCode == ERROR_HANDLE_DISK_FULL; }
