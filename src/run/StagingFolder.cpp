#include "run/StagingFolder.h"

#include <windows.h>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/HeldFolder.h"
#include "fileops/ProtectedFolder.h"
#include "invocation/RunOptions.h"
#include "package/PackageLayout.h"

std::wstring JoinStagingFolderPath(const std::wstring& tempFolder) {
    // An empty temporary folder would put the staging folder, and its deletion, in the
    // current folder.
    if (tempFolder.empty()) return std::wstring();
    std::wstring path = tempFolder + kStagingFolderName;
    if (path.size() + 1 > kMaxPathChars) return std::wstring();
    return path;
}

unsigned long ReadTemporaryFolder(TempPathFunction pfnTempPath2, std::wstring& folder) {
    const TempPathFunction pfnTempPath = pfnTempPath2 != nullptr ? pfnTempPath2 : &GetTempPathW;
    wchar_t szTemp[kMaxPathChars] = {};
    const DWORD cch = pfnTempPath(kMaxPathChars, szTemp);
    if (cch == 0) {
        const DWORD dwError = GetLastError();
        return dwError != ERROR_SUCCESS ? dwError : ERROR_PATH_NOT_FOUND;
    }
    if (cch >= kMaxPathChars) return ERROR_FILENAME_EXCED_RANGE;
    folder.assign(szTemp, cch);
    return ERROR_SUCCESS;
}

bool GetStagingFolderPath(std::wstring& stagingFolder, TempPathFunction pfnTempPath2, StepFailure& failure) {
    std::wstring temp;
    const DWORD dwError = ReadTemporaryFolder(pfnTempPath2, temp);
    if (dwError != ERROR_SUCCESS) {
        failure.Set(L"read the temporary folder", temp, dwError);
        return false;
    }
    stagingFolder = JoinStagingFolderPath(temp);
    if (stagingFolder.empty()) {
        failure.Set(L"name the staging folder", temp, temp.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

FileHandle CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine, bool& bLeftoverRemoved,
                                    StepFailure& failure) {
    bLeftoverRemoved = false;
    const bool bLeftover = GetFileAttributesW(stagingFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
    // Whatever the delete left makes the creation below fail; the delete's failure says why.
    const bool bRemoved = engine.Delete(stagingFolder);
    // The temporary folder itself is the user's and is made with the usual rights when missing.
    std::wstring chain = stagingFolder;
    CreateFolderChain(chain, true);
    if (!CreateAdministratorsOnlyFolder(stagingFolder)) {
        if (bLeftover && !bRemoved)
            SetEngineFailure(failure, L"remove the leftover staging folder", engine);
        else
            failure.Set(L"create the staging folder", stagingFolder, GetLastError());
        return FileHandle();
    }
    bLeftoverRemoved = bLeftover;
    FileHandle held = HoldFolder(stagingFolder);
    if (!held) failure.Set(L"hold the staging folder", stagingFolder, GetLastError());
    return held;
}
