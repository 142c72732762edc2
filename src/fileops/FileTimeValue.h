#pragma once

#include <windows.h>

// A FILETIME as one number of 100 ns units, so that times can be compared and subtracted.
inline unsigned long long FileTimeValue(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
