#include "fileops/HandleCopy.h"

#include <cstddef>
#include <utility>

#include "fileops/FExeption.h"
#include "fileops/FolderHandleListing.h"
#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/PathKind.h"
#include "fileops/PathText.h"

namespace {

// Four times CopyFileW's 64 KiB: the large files of a package need fewer calls, which under
// Wine each cost a trip to the server, and the program's peak memory stays as it was.
constexpr std::size_t kCopyBufferBytes = 256 * 1024;

constexpr ACCESS_MASK kSourceFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kSourceFileAccess = FILE_READ_DATA | FILE_READ_ATTRIBUTES;
// List access makes the missing delete sharing hold: nobody can rename or replace the folder.
constexpr ACCESS_MASK kTargetFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
// DELETE: a file left half written by a failure goes again.
constexpr ACCESS_MASK kTargetFileAccess = FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | DELETE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kShareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kFolderOptions = FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT;
constexpr DWORD kFileOptions = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY;
// The attributes a copy carries over, as CopyFileW does.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// What a source entry that is a link fails with: a package holds no links.
constexpr DWORD kErrorLinkMet = ERROR_CANT_ACCESS_FILE;


std::wstring HandleName(HANDLE h) {
    std::wstring name;
    if (!ReadHandleName(h, name)) ThrowLastSystemError();
    return name;
}

// Replacing a target is part of the copy: a read-only file in the way goes without a question.
DeleteDecisions ReplaceDecisions() {
    DeleteDecisions decisions;
    decisions.mayDeleteFile = [](const std::wstring&, HANDLE hFile, DWORD dwAttributes) {
        if ((dwAttributes & FILE_ATTRIBUTE_READONLY) && !ClearAttributesForDeletion(hFile)) ThrowLastSystemError();
        return true;
    };
    return decisions;
}

}  // namespace

struct CHandleCopy::Frame {
    FileHandle ownedSource;  // empty for the caller's handles at the top
    FileHandle ownedTarget;
    HANDLE hSource = INVALID_HANDLE_VALUE;
    HANDLE hTarget = INVALID_HANDLE_VALUE;
    std::wstring sourcePath;  // for failures
    std::wstring targetPath;
    std::wstring sourceName;  // as the handles hold them
    std::wstring targetName;
    std::vector<ListedEntry> entries;
    std::size_t nNext = 0;
    bool bTargetInOutput = false;  // the target is or lies in an output: never met as a source
};

CHandleCopy::CHandleCopy() : m_replace(ReplaceDecisions()) {}

FileHandle CHandleCopy::OpenSourceFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path) {
    m_workingPath = path;
    const std::wstring parentName = HandleName(hParent);
    FileHandle folder;
    const DWORD dwError = OpenRelative(hParent, name, kSourceFolderAccess, kShareAll, kFolderOptions, folder);
    if (IsNotFoundError(dwError)) return FileHandle();
    if (dwError != ERROR_SUCCESS) ThrowSystemError(dwError);
    if (!HoldsEntryItself(folder.Get(), parentName, name)) ThrowSystemError(kErrorLinkMet);
    return folder;
}

void CHandleCopy::BeginCopy(const std::vector<FolderIdentity>& madeForIt) { m_outputs = madeForIt; }

// The top folders a copy makes are always noted, whatever their parent: the CopyContents into
// one of them then knows its target for an output, and notes nothing it makes below.
FileHandle CHandleCopy::MakeTargetFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path) {
    m_workingPath = path;
    bool bCreated = false;
    return MakeFolderIn(hParent, HandleName(hParent), false, name, path, bCreated);
}

FileHandle CHandleCopy::MakeNewFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path) {
    m_workingPath = path;
    const std::wstring parentName = HandleName(hParent);
    FileHandle folder;
    const DWORD dwError = CreateNewFolderRelative(hParent, name, kTargetFolderAccess, kShareNoDelete, folder);
    if (dwError != ERROR_SUCCESS) ThrowSystemError(dwError);
    if (!TakeMadeFolder(folder, true, false, parentName, name)) ThrowSystemError(ERROR_FILE_INVALID);
    return folder;
}

bool CHandleCopy::IsOutput(HANDLE h, const HandleDetails& details) const {
    FolderIdentity identity;
    bool bRead = false;
    for (const FolderIdentity& output : m_outputs) {
        if (output.ullListedId != details.facts.ullFileId) continue;
        if (!bRead && !ReadFolderIdentity(h, identity)) ThrowLastSystemError();
        bRead = true;
        if (IsSameFolder(output, identity)) return true;
    }
    return false;
}

bool CHandleCopy::TakeMadeFolder(const FileHandle& folder, bool bCreated, bool bInOutput,
                                 const std::wstring& parentName, const std::wstring& name) {
    HandleDetails made;
    if (!ReadHandleDetails(folder.Get(), made) || !IsEntryItself(made, parentName, name)) return false;
    if (bCreated && !bInOutput) {
        FolderIdentity identity;
        if (!ReadFolderIdentity(folder.Get(), identity)) ThrowLastSystemError();
        m_outputs.push_back(identity);
    }
    return true;
}

FileHandle CHandleCopy::MakeFolderIn(HANDLE hParent, const std::wstring& parentName, bool bInOutput,
                                     const std::wstring& name, const std::wstring& path, bool& bCreated) {
    for (int nTry = 0;; ++nTry) {
        m_workingPath = path;
        FileHandle folder;
        bCreated = false;
        const DWORD dwError = OpenOrCreateFolderRelative(hParent, name, kTargetFolderAccess, kShareNoDelete,
                                                         FILE_OPEN_REPARSE_POINT, folder, &bCreated);
        // A file at the name fails the open as a folder; a link opens as itself, or under some
        // platforms as its target, whose name the handle then holds.
        if (dwError == ERROR_SUCCESS && TakeMadeFolder(folder, bCreated, bInOutput, parentName, name)) return folder;
        if (dwError != ERROR_SUCCESS && dwError != ERROR_DIRECTORY) ThrowSystemError(dwError);
        if (nTry > 0) ThrowSystemError(dwError != ERROR_SUCCESS ? dwError : ERROR_FILE_INVALID);
        folder.Reset();
        m_replace.RemoveFileOrLinkIn(hParent, name, path);
    }
}

FileHandle CHandleCopy::CreateTargetFile(HANDLE hFolder, const std::wstring& folderName, const std::wstring& name,
                                         const std::wstring& path) {
    m_workingPath = path;
    FileHandle file;
    // Most copies land in a fresh folder: the file is made outright. Whatever stood at the name
    // goes as itself first, so an existing target is never opened, let alone written through.
    // The create checks that its handle holds the new file itself before anything is written.
    DWORD dwError = CreateNewRelative(hFolder, folderName, name, kTargetFileAccess, FILE_SHARE_READ, file);
    if (dwError == ERROR_FILE_EXISTS || dwError == ERROR_ALREADY_EXISTS) {
        m_replace.RemoveFileOrLinkIn(hFolder, name, path);
        m_workingPath = path;
        dwError = CreateNewRelative(hFolder, folderName, name, kTargetFileAccess, FILE_SHARE_READ, file);
    }
    if (dwError != ERROR_SUCCESS) ThrowSystemError(dwError);
    return file;
}

void CHandleCopy::CopyFileInto(HANDLE hSourceFile, const std::wstring& sourcePath, HANDLE hTargetFolder,
                               const std::wstring& name, const std::wstring& targetPath) {
    m_workingPath = sourcePath;
    HandleDetails source;
    if (!ReadHandleDetails(hSourceFile, source)) ThrowLastSystemError();
    m_workingPath = targetPath;
    CopyFileIn(hSourceFile, source, sourcePath, hTargetFolder, HandleName(hTargetFolder), name, targetPath);
}

void CHandleCopy::CopyFileIn(HANDLE hSourceFile, const HandleDetails& source, const std::wstring& sourcePath,
                             HANDLE hTargetFolder, const std::wstring& targetFolderName, const std::wstring& name,
                             const std::wstring& targetPath) {
    FileHandle target = CreateTargetFile(hTargetFolder, targetFolderName, name, targetPath);
    try {
        CopyData(hSourceFile, source, sourcePath, target.Get());
    } catch (CFExeption*) {
        // No half-written file may pass for a copy.
        FILE_DISPOSITION_INFO disposition = {};
        disposition.DeleteFile = TRUE;
        SetFileInformationByHandle(target.Get(), FileDispositionInfo, &disposition, sizeof disposition);
        throw;
    }
    ++m_ullCopiedFiles;
}

void CHandleCopy::CopyData(HANDLE hSource, const HandleDetails& source, const std::wstring& sourcePath,
                           HANDLE hTarget) {
    m_workingPath = sourcePath;
    if (m_buffer.empty()) m_buffer.resize(kCopyBufferBytes);
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(hSource, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &dwRead, nullptr))
            ThrowLastSystemError();
        if (dwRead == 0) break;
        DWORD dwWritten = 0;
        if (!WriteFile(hTarget, m_buffer.data(), dwRead, &dwWritten, nullptr)) ThrowLastSystemError();
        // A short write to a disk file is what a full disk gives.
        if (dwWritten != dwRead) ThrowSystemError(ERROR_DISK_FULL);
        m_ullCopiedBytes += dwRead;
    }
    // One call sets the time and the attributes, read-only included, after the last write.
    FILE_BASIC_INFO target = {};
    target.LastWriteTime = source.lastWriteTime;
    target.FileAttributes = source.facts.dwAttributes & kKeptAttributes;
    if (target.FileAttributes == 0) target.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(hTarget, FileBasicInfo, &target, sizeof target)) ThrowLastSystemError();
}

void CHandleCopy::CopyContents(HANDLE hSource, const std::wstring& sourcePath, HANDLE hTarget,
                               const std::wstring& targetPath) {
    // A stack of open folders rather than recursion, as the delete walks its trees.
    std::vector<Frame> stack;
    auto push = [this, &stack](FileHandle ownedSource, HANDLE hFolder, const std::wstring& folderPath,
                               const std::wstring& folderName, FileHandle ownedTarget, HANDLE hCopy,
                               const std::wstring& copyPath, const std::wstring& copyName, bool bTargetInOutput) {
        m_workingPath = folderPath;
        Frame frame;
        frame.bTargetInOutput = bTargetInOutput;
        frame.ownedSource = std::move(ownedSource);
        frame.ownedTarget = std::move(ownedTarget);
        frame.hSource = hFolder;
        frame.hTarget = hCopy;
        frame.sourcePath = folderPath;
        frame.targetPath = copyPath;
        frame.sourceName = folderName;
        frame.targetName = copyName;
        const DWORD dwError = ListFolderByHandle(hFolder, frame.entries);
        if (dwError != ERROR_SUCCESS) ThrowSystemError(dwError);
        stack.push_back(std::move(frame));
    };
    // Every folder this copy made is known by volume and file ID: a target inside the source is
    // met in the walk as one of them, and is not entered, so that the copy holds what the source
    // held when the copy began, and never copies its own output.
    m_workingPath = sourcePath;
    HandleDetails source;
    if (!ReadHandleDetails(hSource, source)) ThrowLastSystemError();
    m_workingPath = targetPath;
    HandleDetails target;
    if (!ReadHandleDetails(hTarget, target)) ThrowLastSystemError();
    // Onto itself, each file would be removed to make room for its own copy. Only folders that
    // show the same listed ID can be one.
    if (source.facts.ullFileId == target.facts.ullFileId) {
        FolderIdentity sourceIdentity;
        FolderIdentity targetIdentity;
        if (!ReadFolderIdentity(hSource, sourceIdentity) || !ReadFolderIdentity(hTarget, targetIdentity))
            ThrowLastSystemError();
        if (IsSameFolder(sourceIdentity, targetIdentity))
            throw new CFExeption(L"the folder to copy into is the folder copied from, " + sourcePath);
    }
    push(FileHandle(), hSource, sourcePath, source.name, FileHandle(), hTarget, targetPath, target.name,
         IsOutput(hTarget, target));

    while (!stack.empty()) {
        Frame& folder = stack.back();
        if (folder.nNext == folder.entries.size()) {
            stack.pop_back();
            continue;
        }
        const ListedEntry& entry = folder.entries[folder.nNext++];
        const std::wstring entrySource = JoinedPath(folder.sourcePath, entry.name);
        m_workingPath = entrySource;
        if (entry.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ThrowSystemError(kErrorLinkMet);
        const bool bFolder = (entry.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bFolder && m_nFolderBudget == 0) continue;

        FileHandle opened;
        if (OpenRelative(folder.hSource, entry.name, bFolder ? kSourceFolderAccess : kSourceFileAccess,
                         bFolder ? kShareAll : FILE_SHARE_READ, bFolder ? kFolderOptions : kFileOptions,
                         opened) != ERROR_SUCCESS)
            ThrowLastSystemError();
        // One query for every check and for the copy's time and attributes.
        HandleDetails details;
        if (!ReadHandleDetails(opened.Get(), details)) ThrowLastSystemError();
        if (details.facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ThrowSystemError(kErrorLinkMet);
        // Another entry than the one listed: a link the platform followed, or a swap after the listing.
        const DWORD dwCheck = CheckListedEntry(details, folder.sourceName, entry);
        if (dwCheck != ERROR_SUCCESS) ThrowSystemError(dwCheck);

        const std::wstring entryTarget = JoinedPath(folder.targetPath, entry.name);
        if (!bFolder) {
            CopyFileIn(opened.Get(), details, entrySource, folder.hTarget, folder.targetName, entry.name, entryTarget);
            continue;
        }
        // The copy's own output, which the source did not hold when the copy began.
        if (IsOutput(opened.Get(), details)) continue;
        if (m_nFolderBudget > 0) --m_nFolderBudget;
        bool bCreated = false;
        FileHandle copy =
            MakeFolderIn(folder.hTarget, folder.targetName, folder.bTargetInOutput, entry.name, entryTarget, bCreated);
        const HANDLE hOpened = opened.Get();
        const HANDLE hCopy = copy.Get();
        // folder and entry are not to be used after this: the stack may move.
        const std::wstring sourceEntryName = EntryNameIn(folder.sourceName, entry.name);
        const std::wstring copyName = EntryNameIn(folder.targetName, entry.name);
        const bool bCopyInOutput = folder.bTargetInOutput || bCreated;
        push(std::move(opened), hOpened, entrySource, sourceEntryName, std::move(copy), hCopy, entryTarget, copyName,
             bCopyInOutput);
    }
}
