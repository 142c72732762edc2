#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fileops/HandleDelete.h"
#include "fileops/ScopedHandle.h"

// Copies files and folder trees through handles, never by looking a path up again. The caller
// opens the top of each side as it names it; every entry below is opened or made relative to its
// folder's handle, without following a link:
// - a source entry is checked against its folder's listing (file ID, and the name its handle
//   holds); a link among the sources is refused, never followed;
// - a target folder is made or opened relative to its held parent (no delete sharing) and must
//   hold itself, not a link's target; a target file is always made anew (FILE_CREATE, opened as
//   itself) and checked to hold the new file itself before a byte is written (CreateNewRelative),
//   and what stood at its name is first removed as itself (a link as a link, a read-only file
//   through its handle). An existing target is never opened for writing, so nothing is written
//   through a link.
// A folder a copy writes into (its target, the folder MakeTargetFolder made that target in, and
// every folder made below) is never entered as a source, so a target inside its source gets what
// the source held before the copy began; a copy onto its own source folder is refused before
// anything is written. Folders that earlier copies made are source like any other.
// File data goes from handle to handle; the last-write time and the attributes follow, read-only
// last, as CopyFileW keeps them. Failures are thrown as CFExeption pointers carrying the Win32
// error; WorkingPath() names the entry met.
class CHandleCopy {
public:
    CHandleCopy();

    // The existing folder called name inside the folder hParent holds, opened for listing as
    // itself. Invalid when there is none; a link there, or an entry that is not a folder, fails.
    // path names it for failures.
    FileHandle OpenSourceFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path);
    // The folder called name inside the folder hParent holds, made when missing and held without
    // delete sharing. A link or a file at the name is removed as itself and a folder made there;
    // where the platform cannot remove a link as itself, this fails.
    FileHandle MakeTargetFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path);
    // Everything inside the folder hSource holds into the folder hTarget holds.
    void CopyContents(HANDLE hSource, const std::wstring& sourcePath, HANDLE hTarget, const std::wstring& targetPath);
    // The file hSourceFile holds (opened for reading) into the folder hTargetFolder holds, as name.
    void CopyFileInto(HANDLE hSourceFile, const std::wstring& sourcePath, HANDLE hTargetFolder,
                      const std::wstring& name, const std::wstring& targetPath);

    // How many subfolders the next CopyContents may enter, over the whole tree; -1: no limit.
    void LimitSubfolders(int nBudget) { m_nFolderBudget = nBudget; }

    const std::wstring& WorkingPath() const { return m_workingPath; }
    unsigned long long CopiedFiles() const { return m_ullCopiedFiles; }
    unsigned long long CopiedBytes() const { return m_ullCopiedBytes; }

private:
    struct Frame;
    // A folder the copy writes into, made or given: never entered as a source.
    struct OutputFolder {
        DWORD dwVolume;
        std::uint64_t ullFileId;
    };
    void NoteOutput(DWORD dwVolume, std::uint64_t ullFileId);
    bool IsOutput(DWORD dwVolume, std::uint64_t ullFileId) const;
    // dwVolume: the parent's volume, which the folder made in it shares.
    FileHandle MakeFolderIn(HANDLE hParent, const std::wstring& parentName, DWORD dwVolume, const std::wstring& name,
                            const std::wstring& path);
    FileHandle CreateTargetFile(HANDLE hFolder, const std::wstring& folderName, const std::wstring& name,
                                const std::wstring& path);
    // CopyFileInto for a source whose handle was asked already and a target folder whose name is known.
    void CopyFileIn(HANDLE hSourceFile, const HandleDetails& source, const std::wstring& sourcePath,
                    HANDLE hTargetFolder, const std::wstring& targetFolderName, const std::wstring& name,
                    const std::wstring& targetPath);
    void CopyData(HANDLE hSource, const HandleDetails& source, const std::wstring& sourcePath, HANDLE hTarget);

    CHandleDelete m_replace;  // removes what stands at a target's name, without a question
    std::vector<OutputFolder> m_outputs;  // of the copy under way
    bool m_bOutputsBegun = false;         // by MakeTargetFolder, for the CopyContents that follows
    std::vector<char> m_buffer;
    std::wstring m_workingPath;
    unsigned long long m_ullCopiedFiles = 0;
    unsigned long long m_ullCopiedBytes = 0;
    int m_nFolderBudget = -1;
};
