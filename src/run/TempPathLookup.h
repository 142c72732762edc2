#pragma once

#include <windows.h>

// GetTempPathW and GetTempPath2W share this shape.
using TempPathFunction = DWORD(WINAPI*)(DWORD cchBuffer, LPWSTR pszBuffer);

// GetTempPath2W where kernel32 exports it (a SYSTEM process then gets a temporary folder of its
// own rather than one every user may write to); null on older systems.
TempPathFunction FindTempPath2();
