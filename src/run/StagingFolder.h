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

// Removes whatever an earlier run, or anyone else, left at the staging path and creates the
// folder anew, open to SYSTEM and Administrators only, and held (HoldFolder) from then on, so
// that nobody can move it and put another folder in its place. Invalid when anything remains
// there or the folder cannot be created and held by this call: the installer must run from
// nothing but what this run staged.
// bLeftoverRemoved: something stood at the path and went.
FileHandle CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine, bool& bLeftoverRemoved,
                                    StepFailure& failure);
