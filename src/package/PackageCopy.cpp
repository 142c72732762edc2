#include "package/PackageCopy.h"

#include <windows.h>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/HeldFolder.h"
#include "fileops/ModulePath.h"
#include "fileops/PathText.h"
#include "package/PackageLayout.h"
#include "package/ResultCodes.h"

namespace {
const wchar_t kCopyStep[] = L"copy the package";
}  // namespace

std::wstring PackageSourceFolder(const std::wstring& drive, const std::wstring& folder,
                                 const std::wstring& name) {
    // The folder part already ends with a separator; adding another one doubles it, and a
    // doubled separator in front of a share name ("\\\server") is a path nothing can open.
    std::wstring root = drive + folder;
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    return root + name;
}

int CopyPackage(const std::wstring& target, CopiedAmount& copied, StepFailure& failure) {
    std::wstring strTarget = target;
    const int nResolved = ResolveModuleRelative(strTarget);
    if (nResolved != kResultOk) {
        failure.SetFinding(L"create the folder to copy the package into", strTarget,
                           L"the program's own path cannot be read or is too long");
        return nResolved;
    }
    // The caller's existing folders are opened from the root down, the missing ones made through
    // the held folder above each; everything below is made through the handle of the last.
    // The folders made for the copy are its output like those it makes itself: where the target
    // lies inside the package, the package as it was holds none of them.
    bool bChainMade = true;
    std::vector<FolderIdentity> made;
    RefusedLink refused;
    const FileHandle held = CreateHeldFolderChain(strTarget, bChainMade, refused, true, &made);
    if (!held && !refused.path.empty()) {
        failure.SetFinding(kCopyStep, refused.path, refused.finding);
        return kResultCannotCreateFolder;
    }
    if (!held) {
        failure.Set(bChainMade ? kCopyStep : L"create the folder to copy the package into", strTarget, GetLastError());
        return kResultCannotCreateFolder;
    }
    return CopyPackage(held.Get(), strTarget, copied, failure, made);
}

int CopyPackage(void* hTarget, const std::wstring& targetPath, CopiedAmount& copied, StepFailure& failure,
                const std::vector<FolderIdentity>& madeForTheCopy) {
    wchar_t szFileName[260] = {};
    wchar_t szDrive[3] = {};
    wchar_t szFolder[256] = {};
    // A program folder that does not fit the buffers leaves no package root to copy from.
    if (SplitModulePath(szFileName, 260, szDrive, 3, szFolder, 256) != 0) {
        failure.SetFinding(L"find the package", szFileName, L"the program's own path cannot be read or is too long");
        return kResultNoModuleName;
    }
    // The root as the program's own path gives it; its folders are opened through its handle.
    const std::wstring root = FolderAsOpened(PackageSourceFolder(szDrive, szFolder, L""));
    const FileHandle rootFolder = HoldFolderAsNamed(root);
    if (!rootFolder) {
        failure.Set(kCopyStep, root, GetLastError());
        return kResultCannotCreateFolder;
    }

    // A package without "Others" is complete as it is. Anything of the package that exists and
    // cannot be copied leaves a partial copy, which no installer may run on and no caller may
    // take for the package.
    // One copy of both folders: what the copy of "Windows" made is output to the copy of "Others".
    CFileOpEngine engine;
    engine.BeginCopy(madeForTheCopy);
    for (const wchar_t* pszFolder : {kWindowsFolder, kOthersFolder}) {
        const std::wstring source = PackageSourceFolder(szDrive, szFolder, pszFolder);
        const std::wstring copy = JoinedPath(targetPath, pszFolder);
        FileHandle sourceFolder;
        FileHandle copyFolder;
        if (!engine.OpenSourceFolder(rootFolder.Get(), pszFolder, source, sourceFolder)) {
            SetEngineFailure(failure, kCopyStep, engine);
            return kResultCannotCreateFolder;
        }
        if (!sourceFolder) continue;
        if (!engine.MakeFolder(hTarget, pszFolder, copy, copyFolder) ||
            !engine.CopyContents(sourceFolder.Get(), source, copyFolder.Get(), copy)) {
            SetEngineFailure(failure, kCopyStep, engine);
            return kResultCannotCreateFolder;
        }
    }
    copied.nFiles = engine.CopiedFiles();
    copied.nBytes = engine.CopiedBytes();
    return kResultOk;
}
