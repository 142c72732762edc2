#pragma once

#include <windows.h>

#include <vector>

// The TOKEN_USER of the primary token of hProcess (opened with PROCESS_QUERY_LIMITED_INFORMATION,
// or the current process); empty when the token cannot be read.
std::vector<unsigned char> TokenUserOf(HANDLE hProcess);

// The user SID in what TokenUserOf returned; null when that is empty.
PSID UserSidOf(std::vector<unsigned char>& tokenUser);
