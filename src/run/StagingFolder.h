#pragma once

#include <string>

#include "fileops/ScopedHandle.h"
#include "package/StepFailure.h"
#include "run/TempPathLookup.h"

// The temporary folder as GetTempPath2W (pfnTempPath2) reports it where the platform has it,
// GetTempPathW otherwise. Returns ERROR_SUCCESS, or the Win32 error when it cannot be read or
// does not fit a path buffer of 260 characters.
unsigned long ReadTemporaryFolder(TempPathFunction pfnTempPath2, std::wstring& folder);

// The staging folder: the temporary folder with the staging name appended directly. The
// temporary folder is GetTempPath2W's (pfnTempPath2) where the platform has it, GetTempPathW's
// when pfnTempPath2 is null. Returns false when the temporary folder cannot be read or the path
// would not fit a path buffer of 260 characters; failure then says why.
bool GetStagingFolderPath(std::wstring& stagingFolder, TempPathFunction pfnTempPath2, StepFailure& failure);

// Joins a temporary folder path as the platform reports it (ending in a backslash) and the
// staging name; empty when the result would not fit 259 characters.
std::wstring JoinStagingFolderPath(const std::wstring& tempFolder);

class CFileOpEngine;

// What stood at the staging path before CreateFreshStagingFolder made it anew.
enum class StagingLeftover {
    None,     // nothing
    Removed,  // something, and it went
    // A folder that someone holds without sharing its deletion: the installer of a run that
    // ended before it (killed by a deployment tool's time-out) still works from it.
    HeldByInstaller,
    // A folder held the same way that is not exactly what a run makes (owner, DACL, or another
    // folder at the name by the time of the probe): someone else's, which no retry will see go.
    HeldByAnother,
};

// Removes whatever an earlier run, or anyone else, left at the staging path and creates the
// folder anew, open to SYSTEM and Administrators only, and held (HoldFolder) from then on, so
// that nobody can move it and put another folder in its place. Invalid when anything remains
// there or the folder cannot be created and held by this call: the installer must run from
// nothing but what this run staged. A leftover folder is opened relative to the temporary folder,
// its owner, DACL and file ID read through that one handle, and then opened for removal before
// the first delete: one that is held stays whole, HeldByInstaller only when it is exactly what a
// run makes and the probe met that very folder, else HeldByAnother with the difference in the
// failure (failure set either way).
FileHandle CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine, StagingLeftover& leftover,
                                    StepFailure& failure);
