#pragma once

#include <cstddef>

// Path buffers of the options record: at most 259 characters and a terminating zero.
constexpr std::size_t kMaxPathChars = 260;

enum RunMode : int {
    ModeInvalid = 0,
    ModeUsage = 1,
    ModeExtractAll = 2,
    ModeInstall = 3,
    ModeSilentInstall = 4,
    ModeExtractDrivers = 5,
};

// Allocated zero-filled by the run, so every path is empty until the parser sets it.
struct RunOptions {
    int nMode;
    wchar_t szTargetPath[kMaxPathChars];
    wchar_t szDriverPath[kMaxPathChars];
    wchar_t szLogFile[kMaxPathChars];
    bool bForce;
    bool bEnableAuxMac;
    // INSTALLERCODE=: a run whose steps all succeeded ends with the installer's answer.
    bool bInstallerCode;
    // LINGER=: how long, after Setup.exe ends, the run waits for the processes it left running.
    int nLingerMinutes;
};

// What LINGER= is when the caller does not set it.
constexpr int kDefaultLingerMinutes = 15;
