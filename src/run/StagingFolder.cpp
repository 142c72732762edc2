#include "run/StagingFolder.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/FolderChain.h"
#include "fileops/FolderForRemoval.h"
#include "fileops/HandleIdentity.h"
#include "fileops/HeldFolder.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/ProtectedFolder.h"
#include "fileops/SecurityRead.h"
#include "invocation/RunOptions.h"
#include "package/PackageLayout.h"
#include "run/LeftoverOwner.h"

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

const wchar_t kRemoveStep[] = L"remove the leftover staging folder";

// What one handle of a leftover folder, opened before the removal's probe, showed. Nothing is
// read when the open failed.
struct LeftoverFacts {
    DWORD dwOpenError = ERROR_SUCCESS;
    bool bOwnerOurs = false;
    std::wstring ownerText;  // whose it is, when not ours
    DWORD dwDaclError = ERROR_SUCCESS;
    std::vector<unsigned char> dacl;
    DWORD dwIdError = ERROR_SUCCESS;
    std::uint64_t ullFileId = 0;
};

LeftoverFacts ReadLeftoverFacts(HANDLE hTemp, const std::wstring& name) {
    LeftoverFacts facts;
    FileHandle leftover;
    facts.dwOpenError = OpenRelative(hTemp, name, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, leftover);
    if (facts.dwOpenError != ERROR_SUCCESS) return facts;
    facts.bOwnerOurs = IsOwnedByThisProgramsAccounts(leftover.Get(), facts.ownerText);
    facts.dwDaclError = ReadSecurity(leftover.Get(), DACL_SECURITY_INFORMATION, facts.dacl);
    HandleFacts read;
    if (ReadHandleFacts(leftover.Get(), read))
        facts.ullFileId = read.ullFileId;
    else
        facts.dwIdError = GetLastError();
    return facts;
}

std::wstring FileIdText(std::uint64_t ullFileId) {
    wchar_t szId[24] = {};
    swprintf(szId, 24, L"0x%016llX", static_cast<unsigned long long>(ullFileId));
    return szId;
}

// Empty when the held leftover is exactly what a run makes: one of this program's accounts owns
// it, its DACL is the protected one every run sets, and the probe met that very folder. Otherwise
// what differs. An owner is no proof alone: a folder SYSTEM made elsewhere keeps its owner when a
// user renames it into the temporary folder.
std::wstring DifferenceFromARunsFolder(HANDLE hTemp, const std::wstring& name, const LeftoverFacts& facts) {
    if (facts.dwOpenError != ERROR_SUCCESS)
        return L"cannot be opened to read its owner (" + Win32ErrorText(facts.dwOpenError) + L")";
    if (!facts.bOwnerOurs)
        return L"owned by " + facts.ownerText + L", neither SYSTEM, the Administrators group nor the run's own account";
    if (facts.dwDaclError != ERROR_SUCCESS)
        return L"with a DACL that cannot be read (" + Win32ErrorText(facts.dwDaclError) + L")";
    std::wstring protectedDacl;
    const std::wstring scratch = name + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                 std::to_wstring(GetTickCount());
    const DWORD dwScratchError = ReadProtectedDaclAsKept(hTemp, scratch, protectedDacl);
    if (dwScratchError != ERROR_SUCCESS)
        return L"whose DACL cannot be compared with the run's (" + Win32ErrorText(dwScratchError) + L")";
    const std::wstring dacl = DaclText(facts.dacl.data());
    if (dacl.empty() || dacl != protectedDacl)
        return L"with the DACL \"" + dacl + L"\" where a run sets \"" + protectedDacl + L"\"";
    if (facts.dwIdError != ERROR_SUCCESS)
        return L"whose file ID cannot be read (" + Win32ErrorText(facts.dwIdError) + L")";
    // The probe met whatever stood at the name by then: it must be the folder read before it.
    FileHandle again;
    HandleFacts now;
    const DWORD dwAgainError = OpenRelative(hTemp, name, FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            FILE_OPEN_REPARSE_POINT, again);
    if (dwAgainError != ERROR_SUCCESS)
        return L"gone from its name after its owner was read (" + Win32ErrorText(dwAgainError) + L")";
    if (!ReadHandleFacts(again.Get(), now))
        return L"whose file ID cannot be read again (" + Win32ErrorText(GetLastError()) + L")";
    if (now.ullFileId != facts.ullFileId)
        return L"replaced at its name between the read of its owner and the removal's probe (file ID " +
               FileIdText(facts.ullFileId) + L", then " + FileIdText(now.ullFileId) + L")";
    return std::wstring();
}

// A leftover folder is opened for removal first and emptied through that handle; a file or a
// link is removed as itself. The open is what finds an installer still at work: the run that
// started it handed it the staging folder's hold. False when something stays; failure is set
// only when the engine's last failure would not say why.
bool RemoveLeftover(const std::wstring& stagingFolder, DWORD dwSeen, CFileOpEngine& engine, StagingLeftover& leftover,
                    StepFailure& failure) {
    const bool bPlainFolder = (dwSeen & FILE_ATTRIBUTE_DIRECTORY) && !(dwSeen & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!bPlainFolder) return engine.Delete(stagingFolder);
    std::wstring name;
    const FileHandle temp = OpenParentFolder(stagingFolder, name);
    if (!temp) {
        failure.Set(kRemoveStep, stagingFolder, GetLastError());
        return false;
    }
    // Read before the probe, through one handle: anybody who may write in the temporary folder
    // can make the name first and hold it, and a retry would meet it for ever.
    const LeftoverFacts facts = ReadLeftoverFacts(temp.Get(), name);
    FileHandle folder;
    const DWORD dwError = OpenFolderForRemovalIn(temp.Get(), name, folder);
    if (dwError == ERROR_SHARING_VIOLATION) {
        const std::wstring difference = DifferenceFromARunsFolder(temp.Get(), name, facts);
        if (!difference.empty()) {
            leftover = StagingLeftover::HeldByAnother;
            failure.SetFinding(kRemoveStep, stagingFolder,
                               L"held open by a program and " + difference + L": someone else's folder");
            return false;
        }
        leftover = StagingLeftover::HeldByInstaller;
        failure.Set(kRemoveStep, stagingFolder, ERROR_INSTALL_ALREADY_RUNNING);
        return false;
    }
    if (dwError != ERROR_SUCCESS) {
        failure.Set(kRemoveStep, stagingFolder, dwError);
        return false;
    }
    // The folder itself goes when its handle closes.
    return engine.DeleteOpenFolder(folder.Get(), stagingFolder);
}

}  // namespace

FileHandle CreateFreshStagingFolder(const std::wstring& stagingFolder, CFileOpEngine& engine, StagingLeftover& leftover,
                                    StepFailure& failure) {
    leftover = StagingLeftover::None;
    const DWORD dwSeen = GetFileAttributesW(stagingFolder.c_str());
    const bool bLeftover = dwSeen != INVALID_FILE_ATTRIBUTES;
    // Whatever the removal left makes the creation below fail; the removal's failure says why.
    const bool bRemoved = !bLeftover || RemoveLeftover(stagingFolder, dwSeen, engine, leftover, failure);
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
