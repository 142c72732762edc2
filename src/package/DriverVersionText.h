#pragma once

#include <string>
#include <vector>

// The driver version a package carries, as the [Version] section's DriverVer line of each INF
// the installer is given declares it ("DriverVer=06/21/2024,10.1.2.3"). Plain string rules, no
// platform calls.

// What one driver folder of the staged package gave.
struct InfDriverVersion {
    std::wstring folder;         // the driver folder
    std::wstring file;           // the INF's name in it; empty when the folder holds none
    unsigned long dwError = 0;   // why the folder or the INF could not be read; 0 when it was
    bool bHasDriverVer = false;  // the INF was read and has a DriverVer line
    std::wstring date;           // its first field
    std::wstring version;        // its second field
};

// The name of an active INF: it ends in ".INF", in any letter case (an inactive one ends in "_").
bool IsActiveInfName(const std::wstring& name);

// The event's field: each distinct version of the INFs once, in the folders' order, joined by
// ", "; an INF without DriverVer, or one that could not be read, counts as "unknown", and so does
// a package with no INF at all. A folder without an INF adds nothing.
std::wstring DriverVersionField(const std::vector<InfDriverVersion>& infs);
