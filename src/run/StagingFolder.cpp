#include "run/StagingFolder.h"

#include <windows.h>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/FolderForRemoval.h"
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

namespace {

// A leftover folder is opened for removal first and emptied through that handle; a file or a
// link is removed as itself. The open is what finds an installer still at work: the run that
// started it handed it the staging folder's hold. False when something stays; failure is set
// only when the engine's last failure would not say why.
bool RemoveLeftover(const std::wstring& stagingFolder, DWORD dwSeen, CFileOpEngine& engine, StagingLeftover& leftover,
                    StepFailure& failure, HeldFolderOwnerReader pfnReadOwner) {
    const bool bPlainFolder = (dwSeen & FILE_ATTRIBUTE_DIRECTORY) && !(dwSeen & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!bPlainFolder) return engine.Delete(stagingFolder);
    FileHandle folder;
    const DWORD dwError = OpenFolderForRemoval(stagingFolder, folder);
    if (dwError == ERROR_SHARING_VIOLATION) {
        // Anybody who may write in the temporary folder can make the name first and hold it: a
        // retry would meet it for ever. Only a folder of this program's accounts can be a run's.
        std::wstring owner;
        const FileHandle owned(CreateFileW(stagingFolder.c_str(), READ_CONTROL,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                           nullptr));
        if (!pfnReadOwner(owned.Get(), SE_FILE_OBJECT, owner)) {
            leftover = StagingLeftover::HeldByAnother;
            failure.SetFinding(L"remove the leftover staging folder", stagingFolder,
                               L"held open by a program and owned by " + owner +
                                   L", neither SYSTEM nor the Administrators group: someone else's folder");
            return false;
        }
        leftover = StagingLeftover::HeldByInstaller;
        failure.Set(L"remove the leftover staging folder", stagingFolder, ERROR_INSTALL_ALREADY_RUNNING);
        return false;
    }
    if (dwError != ERROR_SUCCESS) {
        failure.Set(L"remove the leftover staging folder", stagingFolder, dwError);
        return false;
    }
    // The folder itself goes when its handle closes.
    return engine.DeleteOpenFolder(folder.Get(), stagingFolder);
}

}  // namespace

FileHandle CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine, StagingLeftover& leftover,
                                    StepFailure& failure, HeldFolderOwnerReader pfnReadOwner) {
    leftover = StagingLeftover::None;
    const DWORD dwSeen = GetFileAttributesW(stagingFolder.c_str());
    const bool bLeftover = dwSeen != INVALID_FILE_ATTRIBUTES;
    // Whatever the removal left makes the creation below fail; the removal's failure says why.
    const bool bRemoved = !bLeftover || RemoveLeftover(stagingFolder, dwSeen, engine, leftover, failure, pfnReadOwner);
    if (leftover == StagingLeftover::HeldByInstaller || leftover == StagingLeftover::HeldByAnother)
        return FileHandle();
    // The temporary folder itself is the user's and is made with the usual rights when missing.
    std::wstring chain = stagingFolder;
    CreateFolderChain(chain, true);
    if (!CreateAdministratorsOnlyFolder(stagingFolder)) {
        if (!bRemoved) {
            if (!failure.IsSet()) SetEngineFailure(failure, L"remove the leftover staging folder", engine);
        } else {
            failure.Set(L"create the staging folder", stagingFolder, GetLastError());
        }
        return FileHandle();
    }
    if (bLeftover) leftover = StagingLeftover::Removed;
    FileHandle held = HoldFolder(stagingFolder);
    if (!held) failure.Set(L"hold the staging folder", stagingFolder, GetLastError());
    return held;
}
