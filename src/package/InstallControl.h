#pragma once

#include <string>

class CFileOpEngine;

// Copies the FORCE-chosen install-control variant over the staged install-control file.
void SelectInstallControl(const std::wstring& stagingFolder, bool bUsbPackage, bool bForce,
                          CFileOpEngine& engine);
