#pragma once

#include <string>

class CFileOpEngine;

// Makes the ENAUXMAC-chosen INF of each USB-family driver folder active and the other inactive.
void SelectAuxMacInf(const std::wstring& stagingFolder, bool bEnableAuxMac, CFileOpEngine& engine);
