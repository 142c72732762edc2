#pragma once

#include <string>
#include <vector>

#include "package/DriverVersionText.h"

// Reads DriverVer from every active INF of each of the family's driver folders in the staged
// package, with the platform's INF reader: one entry per INF, in the folders' order (each
// folder once), and one for a folder that holds none or cannot be listed. An INF that cannot be
// read gives its entry the Win32 error; nothing here fails the run.
std::vector<InfDriverVersion> ReadPackageDriverVersions(const std::wstring& stagingFolder, bool bUsbPackage);
