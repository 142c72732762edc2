#include "fileops/FileOpEngine.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "fileops/FExeption.h"
#include "fileops/FolderListing.h"
#include "fileops/HandleDelete.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"
#include "fileops/QuietInvalidParameter.h"

namespace {
constexpr int kNoNestLimit = -1;

// For the tally of a single-file copy; a size that cannot be read counts as nothing.
unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Reads the thread's last error before the allocation of the exception can change it.
CFExeption* LastSystemError() {
    const DWORD dwError = GetLastError();
    return new CFExeption(static_cast<std::uint32_t>(dwError));
}
}  // namespace

CFileOpEngine::CFileOpEngine(bool bUnattended)
    : m_strLastError(L"No error"),
      m_dwLastError(0),
      m_bKeptItems(false),
      m_nNestBudget(kNoNestLimit),
      m_bUnattended(bUnattended) {}

bool CFileOpEngine::Copy(std::wstring source, std::wstring target) {
    if (IsCopyOntoParent(source, target)) return true;
    bool bResult = true;
    try {
        CopyAny(source, target);
    } catch (CFExeption* pCaught) {
        std::unique_ptr<CFExeption> failure(pCaught);
        NoteFailure(*failure, m_strWorkingPath);
        bResult = false;
    }
    m_nNestBudget = kNoNestLimit;
    return bResult;
}

template <class Step>
bool CFileOpEngine::RunDelete(Step step) {
    DeleteDecisions decisions;
    decisions.mayDeleteFile = [this](const std::wstring& path, HANDLE hFile, DWORD dwAttributes) {
        if (ConfirmReadOnlyDelete(path, hFile, dwAttributes)) return true;
        m_bKeptItems = true;
        return false;
    };
    decisions.ignoresFolderFailures = [this] { return m_bKeptItems; };
    CHandleDelete deletion(std::move(decisions));
    try {
        step(deletion);
    } catch (CFExeption* pCaught) {
        std::unique_ptr<CFExeption> failure(pCaught);
        NoteFailure(*failure, deletion.WorkingPath());
        // Code 0 is the user's Cancel at the read-only question: the delete was stopped, not failed.
        return m_dwLastError == 0;
    }
    return true;
}

bool CFileOpEngine::Delete(std::wstring path) {
    return RunDelete([&path](CHandleDelete& deletion) { deletion.RemovePath(path); });
}

bool CFileOpEngine::DeleteIn(void* hFolder, const std::wstring& name, const std::wstring& path) {
    return RunDelete([&](CHandleDelete& deletion) { deletion.RemoveEntryIn(hFolder, name, path); });
}

bool CFileOpEngine::DeleteOpenFolder(void* hFolder, const std::wstring& path) {
    return RunDelete([&](CHandleDelete& deletion) { deletion.RemoveOpenFolder(hFolder, path); });
}

bool CFileOpEngine::Rename(std::wstring source, std::wstring target) {
    if (MoveFileW(source.c_str(), target.c_str())) return true;
    std::unique_ptr<CFExeption> failure(LastSystemError());
    NoteFailure(*failure, source);
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
        source += L"*.*";
        {
            CFolderListing listing;
            if (!listing.Begin(source)) throw new CFExeption(strNotFound, listing.Error());
            if (!listing.Advance()) throw new CFExeption(strNotFound, listing.Error());
            const std::wstring strFolderName = LastFolderName(source);
            if (!strFolderName.empty()) {
                target += strFolderName;
                EnsureTrailingBackslash(target);
                m_strWorkingPath = target;
                if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                    throw LastSystemError();
            }
        }
        CopyFolderContents(source, target);
    }

    if (ProbePath(source) == PathIsFile && ProbePath(target) == PathIsFile) CopySingleFile(source, target, FileSize(source));

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
        CopySingleFile(source, target, FileSize(source));
    }
}

void CFileOpEngine::CopyFolderContents(const std::wstring& pattern, const std::wstring& target) {
    // A folder that exists and cannot be listed, wholly or to its end, would leave a partial copy
    // that looks complete. Only an empty drive root matches nothing at all.
    m_strWorkingPath = pattern.substr(0, pattern.rfind(L'\\'));
    CFolderListing listing;
    if (!listing.Begin(pattern)) {
        if (listing.Error() == ERROR_FILE_NOT_FOUND) return;
        throw new CFExeption(std::uint32_t{listing.Error()});
    }
    for (bool bMore = true; bMore;) {
        bMore = listing.Advance();
        if (listing.IsDots()) continue;
        if (!listing.IsFolder()) {
            CopySingleFile(listing.FullPath(), target + listing.Name(), listing.Size());
            continue;
        }
        if (m_nNestBudget == 0) continue;
        const std::wstring subPattern = listing.FullPath() + L"\\*.*";
        const std::wstring subTarget = target + listing.Name() + L"\\";
        m_strWorkingPath = subTarget;
        if (ProbePath(subTarget) == PathMissing && !CreateDirectoryW(subTarget.c_str(), nullptr))
            throw LastSystemError();
        if (m_nNestBudget > 0) --m_nNestBudget;
        CopyFolderContents(subPattern, subTarget);
    }
    if (listing.Error() != ERROR_NO_MORE_FILES) {
        m_strWorkingPath = pattern.substr(0, pattern.rfind(L'\\'));
        throw new CFExeption(std::uint32_t{listing.Error()});
    }
}

void CFileOpEngine::CopySingleFile(const std::wstring& source, const std::wstring& target,
                                   unsigned long long ullSize) {
    m_strWorkingPath = source;
    // Most copies land in a fresh folder: creating the file outright spares the platform the
    // look for an existing target. An existing one is then replaced as before, with the
    // replacing copy's error.
    if (!CopyFileW(source.c_str(), target.c_str(), TRUE) && !CopyFileW(source.c_str(), target.c_str(), FALSE))
        throw LastSystemError();
    ++m_ullCopiedFiles;
    m_ullCopiedBytes += ullSize;
}
