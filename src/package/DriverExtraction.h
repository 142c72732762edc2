#pragma once

#include <string>

#include "package/StepFailure.h"

class CFileOpEngine;

// Lays the staged drivers out in the extraction folder (the caller's folder followed by
// "\production"), one folder per Windows version and architecture. The staged drivers are read
// through hStaging, the staging folder the run holds (stagingFolder names it in failures); the
// caller's folder is made as written and held, and everything below it is made through handles.
// Returns 0; 8 when the old extraction folder does not go completely (failure names what stayed
// and why), the extraction folder cannot be made or a driver folder cannot be copied; 16, with
// an earlier extraction left as it was, when the package holds none of its family's driver
// folders. failure then says where.
int ExtractDrivers(void* hStaging, const std::wstring& stagingFolder, const std::wstring& extractionFolder,
                   bool bUsbPackage, CFileOpEngine& engine, StepFailure& failure);

