#pragma once

#include <string>

class CFileOpEngine;

// Readies the staged package for the driver installer: the ENAUXMAC-chosen INFs (USB family
// only; a NIC-family package keeps every name) and the FORCE-chosen install-control variant.
void PrepareStagedInstall(const std::wstring& stagingFolder, bool bUsbPackage, bool bEnableAuxMac,
                          bool bForce, CFileOpEngine& engine);
