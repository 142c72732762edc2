#pragma once

#include <string>

// Plain string rules over backslash paths; no platform calls.

void EnsureTrailingBackslash(std::wstring& path);

// The folder name of a search pattern ("C:\pkg\Windows\*.*" gives "Windows"), or empty.
std::wstring LastFolderName(std::wstring pattern);
