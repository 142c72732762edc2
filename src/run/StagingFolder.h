#pragma once

#include <string>

// The staging folder: the user's temporary folder with the staging name appended directly.
// Returns false when the temporary folder cannot be read or the path would not fit a path
// buffer of 260 characters.
bool GetStagingFolderPath(std::wstring& stagingFolder);

// Joins a temporary folder path as the platform reports it (ending in a backslash) and the
// staging name; empty when the result would not fit 259 characters.
std::wstring JoinStagingFolderPath(const std::wstring& tempFolder);

class CFileOpEngine;

// Removes whatever an earlier run, or anyone else, left at the staging path and creates the
// folder anew, open to SYSTEM and Administrators only. False when anything remains there or
// the folder cannot be created by this call: the installer must run from nothing but what
// this run staged.
bool CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine);
