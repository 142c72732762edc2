#pragma once

#include <cstdint>
#include <string>

// Builds a complete update package in a folder, as the program finds it beside itself:
// Windows (setup.ini, Setup.exe, per-OS driver folders, install-control files) and Others.
// Every file's content names the file's place in the package, so copies can be told apart.

// How the six INF pairs of a USB-family package lie in their driver folders.
enum class InfPairState {
    BaseActive,    // the usual package: kvux86w7.INF and kvux86w7m_
    AuxMacActive,  // the "m" INF already chosen: kvux86w7m.INF and kvux86w7_
    BothActive,    // kvux86w7.INF and kvux86w7m.INF
    BothInactive,  // kvux86w7_ and kvux86w7m_
    Missing,       // no INF file at all
};

struct PackageSpec {
    bool bUsbPackage = true;  // setup.ini holds the word "USB"; per-OS folders without NDIS6
    InfPairState infState = InfPairState::BaseActive;  // USB family only
    std::wstring strSetupExe;  // copied to Windows\Setup.exe; empty: a small placeholder file
    bool bOthers = true;
    bool bInstallControlFiles = true;  // false: both families' install-control files are left out, their variants stay
    bool bDriverFolders = true;        // false: no WIN7, WIN8, WIN10 folders at all
    bool bReadOnly = false;            // every file written gets the read-only attribute
    // The DriverVer line of every INF ("date,version"); empty: the INFs have none.
    std::string strDriverVer = "06/21/2024,10.1.2.3";
    // When set, the WIN10 folders' INFs carry it instead: a package whose INFs disagree.
    std::string strWin10DriverVer;
    // Bulk content for timing runs.
    unsigned nSmallFiles = 0;  // per per-OS driver folder
    std::uint32_t cbSmallFile = 1024;
    unsigned nLargeFiles = 0;  // per per-OS driver folder
    std::uint64_t cbLargeFile = 1 << 20;
    unsigned nOthersFiles = 0;  // small files in Others
};

// The INF the NIC family's driver folders hold (the USB family's are the INF pairs).
extern const wchar_t kNicInfName[];  // "kvndis6.INF"

// Writes the package into root, creating root if needed. root should be empty or hold only
// writable files. Throws std::runtime_error naming the path that could not be written.
void WritePackage(const std::wstring& root, const PackageSpec& spec);
