#pragma once

#include <string>

#include "package/SelectionResult.h"

class CFileOpEngine;
struct StepFailure;

// Makes the ENAUXMAC-chosen INF of each USB-family driver folder active and the other inactive.
// A pair the package lacks, or a chosen INF already active, is left as it is; a chosen INF
// that stays inactive, or another INF that stays active, fails the step (failure says where).
SelectionResult SelectAuxMacInf(const std::wstring& stagingFolder, bool bEnableAuxMac, CFileOpEngine& engine,
                                StepFailure& failure);
