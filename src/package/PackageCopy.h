#pragma once

#include <string>
#include <vector>

#include "fileops/HandleIdentity.h"

#include "package/StepFailure.h"

struct CopiedAmount {
    unsigned long long nFiles = 0;
    unsigned long long nBytes = 0;
};

// Copies the package's "Windows" and "Others" folders from the program's own folder into
// target, creating the target folder chain first and holding the folder from then on. Returns 0,
// 9, or 8 when the target cannot be created or anything of an existing package folder cannot be
// copied into it; failure then says where.
int CopyPackage(const std::wstring& target, CopiedAmount& copied, StepFailure& failure);

// The same into the folder that hTarget holds (the staging folder, which the run made and holds),
// never looking its path up again; targetPath names it in failures. madeForTheCopy: the folders
// made for this copy (the target among them), which it never copies as part of the package.
int CopyPackage(void* hTarget, const std::wstring& targetPath, CopiedAmount& copied, StepFailure& failure,
                const std::vector<FolderIdentity>& madeForTheCopy = {});

// The source folder of one top-level package folder: the package root (drive part, then
// folder part, which ends with a backslash) followed by the folder name, single separators.
std::wstring PackageSourceFolder(const std::wstring& drive, const std::wstring& folder,
                                 const std::wstring& name);
