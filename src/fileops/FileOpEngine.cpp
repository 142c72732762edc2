#include "fileops/FileOpEngine.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "fileops/FExeption.h"
#include "fileops/HandleDelete.h"
#include "fileops/HeldFolder.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"
#include "fileops/QuietInvalidParameter.h"

namespace {
constexpr int kNoNestLimit = -1;

}  // namespace

CFileOpEngine::CFileOpEngine(bool bUnattended)
    : m_strLastError(L"No error"),
      m_dwLastError(0),
      m_bKeptItems(false),
      m_nNestBudget(kNoNestLimit),
      m_bUnattended(bUnattended) {}

bool CFileOpEngine::Copy(std::wstring source, std::wstring target) {
    if (IsCopyOntoParent(source, target)) return true;
    const bool bResult = RunCopy([&] { CopyAny(source, target); });
    m_nNestBudget = kNoNestLimit;
    m_copy.LimitSubfolders(kNoNestLimit);
    return bResult;
}

template <class Step>
bool CFileOpEngine::RunCopy(Step step) {
    m_strWorkingPath.clear();
    try {
        step();
    } catch (CFExeption* pCaught) {
        std::unique_ptr<CFExeption> failure(pCaught);
        // Before the copy through handles begins, the engine's own path says where it stopped.
        NoteFailure(*failure, m_strWorkingPath.empty() ? m_copy.WorkingPath() : m_strWorkingPath);
        return false;
    }
    return true;
}

bool CFileOpEngine::OpenSourceFolder(void* hParent, const std::wstring& name, const std::wstring& path,
                                     FileHandle& out) {
    return RunCopy([&] { out = m_copy.OpenSourceFolder(hParent, name, path); });
}

bool CFileOpEngine::MakeFolder(void* hParent, const std::wstring& name, const std::wstring& path, FileHandle& out) {
    return RunCopy([&] { out = m_copy.MakeTargetFolder(hParent, name, path); });
}

bool CFileOpEngine::MakeNewFolder(void* hParent, const std::wstring& name, const std::wstring& path,
                                  FileHandle& out) {
    return RunCopy([&] { out = m_copy.MakeNewFolder(hParent, name, path); });
}

bool CFileOpEngine::CopyContents(void* hSource, const std::wstring& sourcePath, void* hTarget,
                                 const std::wstring& targetPath) {
    return RunCopy([&] { m_copy.CopyContents(hSource, sourcePath, hTarget, targetPath); });
}

template <class Step>
bool CFileOpEngine::RunDelete(Step step) {
    m_strKeptPath.clear();
    DeleteDecisions decisions;
    decisions.mayDeleteFile = [this](const std::wstring& path, HANDLE hFile, DWORD dwAttributes) {
        return ConfirmReadOnlyDelete(path, hFile, dwAttributes);
    };
    CHandleDelete deletion(std::move(decisions));
    try {
        step(deletion);
    } catch (CFExeption* pCaught) {
        // The user's Cancel included: what was to go did not go.
        std::unique_ptr<CFExeption> failure(pCaught);
        NoteFailure(*failure, deletion.WorkingPath());
        return false;
    }
    if (m_strKeptPath.empty()) return true;
    m_strLastError = m_strKeptText;
    m_dwLastError = m_dwKeptCode;
    m_dwLastErrorCause = m_dwKeptCause;
    m_strLastErrorPath = m_strKeptPath;
    return false;
}

void CFileOpEngine::KeepFile(const std::wstring& path, const CFExeption& why) {
    m_bKeptItems = true;
    if (!m_strKeptPath.empty()) return;
    m_strKeptPath = path;
    m_strKeptText = why.GetText();
    m_dwKeptCode = why.GetCode();
    m_dwKeptCause = why.GetCause();
}

bool CFileOpEngine::Delete(std::wstring path) {
    return RunDelete([&path](CHandleDelete& deletion) { deletion.RemovePath(path); });
}

bool CFileOpEngine::DeleteIn(void* hFolder, const std::wstring& name, const std::wstring& path) {
    return RunDelete([&](CHandleDelete& deletion) { deletion.RemoveEntryIn(hFolder, name, path); });
}

bool CFileOpEngine::DeleteFileOrLinkIn(void* hFolder, const std::wstring& name, const std::wstring& path) {
    return RunDelete([&](CHandleDelete& deletion) { deletion.RemoveFileOrLinkIn(hFolder, name, path); });
}

bool CFileOpEngine::DeleteOpenFolder(void* hFolder, const std::wstring& path) {
    return RunDelete([&](CHandleDelete& deletion) { deletion.RemoveOpenFolder(hFolder, path); });
}

bool CFileOpEngine::Rename(std::wstring source, std::wstring target) {
    if (MoveFileW(source.c_str(), target.c_str())) return true;
    NoteFailure(CFExeption(static_cast<std::uint32_t>(GetLastError())), source);
    return false;
}

void CFileOpEngine::NoteFailure(const CFExeption& failure, const std::wstring& path) {
    m_strLastError = failure.GetText();
    m_dwLastError = failure.GetCode();
    m_dwLastErrorCause = failure.GetCause();
    m_strLastErrorPath = path;
}

bool CFileOpEngine::IsCopyOntoParent(const std::wstring& source, const std::wstring& target) const {
    if (ProbePath(source) != PathIsFolder) return false;
    const std::size_t lastSlash = source.rfind(L'\\');
    if (lastSlash == std::wstring::npos) return false;
    return SamePathText(source.substr(0, lastSlash), target);
}

void CFileOpEngine::NoteNesting(const std::wstring& source, const std::wstring& target) {
    // A target inside the source would list its own copies; the budget stops the descent.
    if (!LiesInside(target, source)) return;
    const auto nSourceDepth = std::count(source.begin(), source.end(), L'\\');
    const auto nTargetDepth = std::count(target.begin(), target.end(), L'\\');
    if (nTargetDepth >= nSourceDepth) m_nNestBudget = static_cast<int>(nTargetDepth - nSourceDepth);
}

void CFileOpEngine::CopyAny(std::wstring source, std::wstring target) {
    m_strWorkingPath = source;
    NoteNesting(source, target);
    if (ProbePath(source) == PathMissing) throw new CFExeption(source + L" not found", ERROR_PATH_NOT_FOUND);
    if (ProbePath(target) == PathMissing) {
        m_strWorkingPath = target;
        throw new CFExeption(target + L" not found", ERROR_PATH_NOT_FOUND);
    }
    if (ProbePath(source) == PathIsFolder && ProbePath(target) == PathIsFile) {
        m_strWorkingPath = target;
        throw new CFExeption(std::wstring(L"Wrong operation"), ERROR_DIRECTORY);
    }

    if (ProbePath(source) == PathIsFolder && ProbePath(target) == PathIsFolder) {
        const std::wstring strNotFound = source + L" not found";
        EnsureTrailingBackslash(source);
        EnsureTrailingBackslash(target);
        const FileHandle sourceFolder = HoldFolderAsNamed(FolderAsOpened(source));
        if (!sourceFolder) throw new CFExeption(strNotFound, GetLastError());
        m_strWorkingPath = target;
        const FileHandle targetFolder = HoldFolderAsNamed(FolderAsOpened(target));
        if (!targetFolder) ThrowLastSystemError();
        m_strWorkingPath.clear();
        // The copy lands in a folder of the source's name, or for a bare relative name straight
        // in the target.
        const std::wstring strFolderName = LastFolderName(source + L"*.*");
        m_copy.BeginCopy({});
        FileHandle made;
        std::wstring into = FolderAsOpened(target);
        if (!strFolderName.empty()) {
            into = target + strFolderName;
            made = m_copy.MakeTargetFolder(targetFolder.Get(), strFolderName, into);
        }
        m_copy.LimitSubfolders(m_nNestBudget);
        m_copy.CopyContents(sourceFolder.Get(), FolderAsOpened(source), made ? made.Get() : targetFolder.Get(), into);
        return;
    }

    if (ProbePath(source) == PathIsFile && ProbePath(target) == PathIsFile) {
        CopySingleFile(source, target);
        return;
    }

    if (ProbePath(source) == PathIsFile && ProbePath(target) == PathIsFolder) {
        EnsureTrailingBackslash(target);
        wchar_t szDrive[MAX_PATH] = {};
        wchar_t szFolder[MAX_PATH] = {};
        wchar_t szBaseName[MAX_PATH] = {};
        wchar_t szExtension[MAX_PATH] = {};
        errno_t nSplit = 0;
        {
            CQuietInvalidParameter quiet;
            nSplit = _wsplitpath_s(source.c_str(), szDrive, MAX_PATH, szFolder, MAX_PATH, szBaseName, MAX_PATH,
                                   szExtension, MAX_PATH);
        }
        // A part that does not fit the buffers would leave the target without the file's name.
        if (nSplit != 0) throw new CFExeption(std::uint32_t{ERROR_FILENAME_EXCED_RANGE});
        target += szBaseName;
        target += szExtension;
        CopySingleFile(source, target);
    }
}

void CFileOpEngine::CopySingleFile(const std::wstring& source, const std::wstring& target) {
    m_strWorkingPath = source;
    const FileHandle sourceFile(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!sourceFile) ThrowLastSystemError();
    // The target's folder is opened as given; the file is made in it through that handle.
    std::wstring folder;
    std::wstring name;
    SplitParentAndName(target, folder, name);
    m_strWorkingPath = target;
    const FileHandle targetFolder = HoldFolderAsNamed(folder);
    if (!targetFolder) ThrowLastSystemError();
    m_strWorkingPath.clear();
    m_copy.CopyFileInto(sourceFile.Get(), source, targetFolder.Get(), name, target);
}
