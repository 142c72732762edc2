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

bool GetStagingFolderPath(std::wstring& stagingFolder, TempPathFunction pfnTempPath2) {
    const TempPathFunction pfnTempPath = pfnTempPath2 != nullptr ? pfnTempPath2 : &GetTempPathW;
    wchar_t szTemp[kMaxPathChars] = {};
    DWORD cch = pfnTempPath(kMaxPathChars, szTemp);
    if (cch == 0 || cch >= kMaxPathChars) return false;
    stagingFolder = JoinStagingFolderPath(std::wstring(szTemp, cch));
    return !stagingFolder.empty();
}

FileHandle CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine) {
    // The result is not needed: whatever the delete left makes the creation below fail.
    engine.Delete(stagingFolder);
    // The temporary folder itself is the user's and is made with the usual rights when missing.
    std::wstring chain = stagingFolder;
    CreateFolderChain(chain, true);
    if (!CreateAdministratorsOnlyFolder(stagingFolder)) return FileHandle();
    return HoldFolder(stagingFolder);
}
