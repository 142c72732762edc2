#pragma once

#include <string>

#include "package/StepFailure.h"

class CFileOpEngine;

// Lays the staged drivers out in the extraction folder, one folder per Windows version and
// architecture. Returns 0, or 8 when the extraction folder cannot be created or a driver folder
// of the package cannot be copied there or moved to its final name; failure then says where.
int ExtractDrivers(const std::wstring& stagingFolder, const std::wstring& extractionFolder,
                   bool bUsbPackage, CFileOpEngine& engine, StepFailure& failure);
