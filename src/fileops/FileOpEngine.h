#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileops/HandleCopy.h"
#include "fileops/ScopedHandle.h"

class CFExeption;
class CHandleDelete;

// Copies, deletes and renames files and folder trees: a thin front over the copy and the delete
// through handles (HandleCopy, HandleDelete). Failures are raised inside as CFExeption and
// caught by the public operations, which keep the last failure's text and code.
class CFileOpEngine {
public:
    // bUnattended: nobody is there to answer the read-only question; it is answered as Yes.
    explicit CFileOpEngine(bool bUnattended = false);

    // The top of each side is opened as given; everything below it through handles (HandleCopy).
    // Each Copy is a copy of its own (BeginCopy).
    bool Copy(std::wstring source, std::wstring target);
    // A copy made of several operations begins: the folders it makes from now on (MakeFolder,
    // MakeNewFolder, CopyContents), and those made for it (madeForIt), are its output, never
    // copied as source. What earlier copies made is source like any other folder.
    void BeginCopy(const std::vector<FolderIdentity>& madeForIt = {}) { m_copy.BeginCopy(madeForIt); }
    // The folder called name inside the folder hParent holds, opened to be copied from; out
    // stays invalid when there is none, which is no failure. A link there fails.
    bool OpenSourceFolder(void* hParent, const std::wstring& name, const std::wstring& path, FileHandle& out);
    // The folder called name inside the folder hParent holds, made when missing (a link at the
    // name is removed as itself or fails) and held in out.
    bool MakeFolder(void* hParent, const std::wstring& name, const std::wstring& path, FileHandle& out);
    // The same for a folder that must be new: anything at the name fails (ERROR_ALREADY_EXISTS).
    bool MakeNewFolder(void* hParent, const std::wstring& name, const std::wstring& path, FileHandle& out);
    // Everything inside the folder hSource holds into the folder hTarget holds.
    bool CopyContents(void* hSource, const std::wstring& sourcePath, void* hTarget, const std::wstring& targetPath);
    // A delete fails unless everything it was given went: a file kept at the read-only question
    // (No, Cancel, or attributes that would not clear) fails it with that file's path and why it
    // stayed, after the other entries went (Cancel stops the delete at that file).
    bool Delete(std::wstring path);
    // The entry called name inside the folder that hFolder holds, without looking up the
    // folder's path again; path names the entry for the read-only question and failures.
    bool DeleteIn(void* hFolder, const std::wstring& name, const std::wstring& path);
    // The same for an entry that may only be a file or a link (removed as itself): a folder there
    // is refused with ERROR_DIRECTORY_NOT_SUPPORTED and stays as it is.
    bool DeleteFileOrLinkIn(void* hFolder, const std::wstring& name, const std::wstring& path);
    // Everything inside the folder that hFolder holds, and the folder itself, which goes when
    // the caller closes hFolder (opened with DELETE and list access, without delete sharing, so
    // nobody can swap it meanwhile). path names it for the read-only question and failures.
    bool DeleteOpenFolder(void* hFolder, const std::wstring& path);
    bool Rename(std::wstring source, std::wstring target);

    void SetUnattended(bool bUnattended) { m_bUnattended = bUnattended; }
    bool IsUnattended() const { return m_bUnattended; }

    std::wstring GetLastErrorText() const { return m_strLastError; }
    std::uint32_t GetLastErrorCode() const { return m_dwLastError; }
    // The Win32 error of the last failure; for a finding of the engine's own (code 0) the error
    // that says the same, 0 for a file kept at the user's answer (No or Cancel).
    std::uint32_t GetLastErrorCause() const { return m_dwLastErrorCause; }
    // The file or folder the last failure was met on.
    std::wstring GetLastErrorPath() const { return m_strLastErrorPath; }
    // Files copied and their bytes, over every copy of this engine.
    unsigned long long CopiedFiles() const { return m_copy.CopiedFiles(); }
    unsigned long long CopiedBytes() const { return m_copy.CopiedBytes(); }
    bool HasKeptItems() const { return m_bKeptItems; }

private:
    bool IsCopyOntoParent(const std::wstring& source, const std::wstring& target) const;
    void NoteNesting(const std::wstring& source, const std::wstring& target);
    void CopyAny(std::wstring source, std::wstring target);
    void CopySingleFile(const std::wstring& source, const std::wstring& target);
    template <class Step>
    bool RunCopy(Step step);
    void NoteFailure(const CFExeption& failure, const std::wstring& path);
    template <class Step>
    bool RunDelete(Step step);
    // Asked for every file a delete meets; hFile is its open handle, dwAttributes what that
    // handle reports. True: the file may go now; false: it stays, and KeepFile said why. Throws
    // on Cancel.
    bool ConfirmReadOnlyDelete(std::wstring path, void* hFile, std::uint32_t dwAttributes);
    // Notes why a file stays; the first kept file of a delete is what the delete's failure names.
    void KeepFile(const std::wstring& path, const CFExeption& why);

    std::wstring m_strLastError;
    std::uint32_t m_dwLastError;
    std::uint32_t m_dwLastErrorCause = 0;
    std::wstring m_strLastErrorPath;
    std::wstring m_strWorkingPath;  // what a copy is at before the copy through handles begins
    CHandleCopy m_copy;
    bool m_bKeptItems;  // some delete of this engine kept a file
    // The first file the running delete kept, and why; empty path: none.
    std::wstring m_strKeptPath;
    std::wstring m_strKeptText;
    std::uint32_t m_dwKeptCode = 0;
    std::uint32_t m_dwKeptCause = 0;
    int m_nNestBudget;
    bool m_bUnattended;
};
