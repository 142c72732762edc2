#pragma once

#include <string>

class CFileOpEngine;

// Lays the staged drivers out in the extraction folder, one folder per Windows version and
// architecture. Returns 0, or 8 when the extraction folder cannot be created.
int ExtractDrivers(const std::wstring& stagingFolder, const std::wstring& extractionFolder,
                   bool bUsbPackage, CFileOpEngine& engine);
