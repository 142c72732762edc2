#include "run/WindowStation.h"

#include <windows.h>

bool IsWindowStationVisible() {
    // The process's own station handle: not to be closed.
    HWINSTA hStation = GetProcessWindowStation();
    USEROBJECTFLAGS flags = {};
    DWORD cbNeeded = 0;
    if (hStation == nullptr || !GetUserObjectInformationW(hStation, UOI_FLAGS, &flags, sizeof flags, &cbNeeded))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}
