#include "package/PackageCopy.h"

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/ModulePath.h"
#include "fileops/OutOfSpace.h"
#include "package/PackageLayout.h"
#include "run/ResultCodes.h"

std::wstring PackageSourceFolder(const std::wstring& drive, const std::wstring& folder,
                                 const std::wstring& name) {
    // The folder part already ends with a separator; adding another one doubles it, and a
    // doubled separator in front of a share name ("\\\server") is a path nothing can open.
    std::wstring root = drive + folder;
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    return root + name;
}

int CopyPackage(const std::wstring& target) {
    wchar_t szFileName[260] = {};
    wchar_t szDrive[3] = {};
    wchar_t szFolder[256] = {};
    // A program folder that does not fit the buffers leaves no package root to copy from.
    if (SplitModulePath(szFileName, 260, szDrive, 3, szFolder, 256) != 0) return kResultNoModuleName;

    std::wstring strTarget = target;
    if (!CreateFolderChain(strTarget, false)) return kResultCannotCreateFolder;

    // Best effort: a missing "Others" or a file that cannot be copied is not the run's failure.
    // A target drive without room is: the installer must not be started on a cut-off package.
    CFileOpEngine engine;
    for (const wchar_t* pszFolder : {kWindowsFolder, kOthersFolder})
        if (!engine.Copy(PackageSourceFolder(szDrive, szFolder, pszFolder), strTarget) &&
            IsOutOfSpace(engine.GetLastErrorCode()))
            return kResultCannotCreateFolder;
    return kResultOk;
}
