#pragma once

#include <string>

// Copies the package's "Windows" and "Others" folders from the program's own folder into
// target, creating the target folder chain first. Returns 0, 8 or 9.
int CopyPackage(const std::wstring& target);

// The source folder of one top-level package folder: the package root (drive part, then
// folder part, which ends with a backslash) followed by the folder name, single separators.
std::wstring PackageSourceFolder(const std::wstring& drive, const std::wstring& folder,
                                 const std::wstring& name);
