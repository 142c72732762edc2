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
// The folders a copy made (BeginCopy to its end) are its output and never entered as a source,
// so a target inside its source gets what the source held when the copy began; a copy onto its
// own source folder is refused before anything is written. A folder that existed (a target the
// caller named, a folder earlier copies made) is source like any other. Folders are known by
// their volume and file ID (FolderIdentity), never by their paths.
// File data goes from handle to handle; the last-write time and the attributes follow, read-only
// last, as CopyFileW keeps them. Failures are thrown as CFExeption pointers carrying the Win32
// error; WorkingPath() names the entry met.
class CHandleCopy {
public:
    CHandleCopy();

    // A copy begins: what it makes from now on, and the folders made for it (madeForIt), are its
    // output. What earlier copies made is source like any other folder.
    void BeginCopy(const std::vector<FolderIdentity>& madeForIt);

    // The existing folder called name inside the folder hParent holds, opened for listing as
    // itself. Invalid when there is none; a link there, or an entry that is not a folder, fails.
    // path names it for failures.
    FileHandle OpenSourceFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path);
    // The folder called name inside the folder hParent holds, made when missing and held without
    // delete sharing. A link or a file at the name is removed as itself and a folder made there;
    // where the platform cannot remove a link as itself, this fails.
    FileHandle MakeTargetFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path);
    // The same for a folder that must be new: anything at the name, a folder included, fails
    // (ERROR_ALREADY_EXISTS) and stays as it is.
    FileHandle MakeNewFolder(HANDLE hParent, const std::wstring& name, const std::wstring& path);
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
    // Whether the folder h holds, which said details of itself, is an output. Only one whose
    // listed ID matches an output's is asked for its whole identity.
    bool IsOutput(HANDLE h, const HandleDetails& details) const;
    // bInOutput: the parent is an output, so nothing made in it is ever met as a source (the
    // copy enters no output, and no link), and its identity is not asked for.
    FileHandle MakeFolderIn(HANDLE hParent, const std::wstring& parentName, bool bInOutput, const std::wstring& name,
                            const std::wstring& path, bool& bCreated);
    // A folder made or opened at the name must hold that entry itself; one made is output.
    bool TakeMadeFolder(const FileHandle& folder, bool bCreated, bool bInOutput, const std::wstring& parentName,
                        const std::wstring& name);
    FileHandle CreateTargetFile(HANDLE hFolder, const std::wstring& folderName, const std::wstring& name,
                                const std::wstring& path);
    // CopyFileInto for a source whose handle was asked already and a target folder whose name is known.
    void CopyFileIn(HANDLE hSourceFile, const HandleDetails& source, const std::wstring& sourcePath,
                    HANDLE hTargetFolder, const std::wstring& targetFolderName, const std::wstring& name,
                    const std::wstring& targetPath);
    void CopyData(HANDLE hSource, const HandleDetails& source, const std::wstring& sourcePath, HANDLE hTarget);

    CHandleDelete m_replace;  // removes what stands at a target's name, without a question
    std::vector<FolderIdentity> m_outputs;  // of the copy under way
    std::vector<char> m_buffer;
    std::wstring m_workingPath;
    unsigned long long m_ullCopiedFiles = 0;
    unsigned long long m_ullCopiedBytes = 0;
    int m_nFolderBudget = -1;
};
