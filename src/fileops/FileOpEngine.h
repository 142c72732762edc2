#pragma once

#include <cstdint>
#include <string>

// Copies, deletes and renames files and folder trees. Failures are raised inside as
// CFExeption and caught by the public operations, which keep the last failure's text and code.
class CFileOpEngine {
public:
    // bUnattended: nobody is there to answer the read-only question; it is answered as Yes.
    explicit CFileOpEngine(bool bUnattended = false);

    bool Copy(std::wstring source, std::wstring target);
    bool Delete(std::wstring path);
    bool Rename(std::wstring source, std::wstring target);

    void SetUnattended(bool bUnattended) { m_bUnattended = bUnattended; }
    bool IsUnattended() const { return m_bUnattended; }

    std::wstring GetLastErrorText() const { return m_strLastError; }
    std::uint32_t GetLastErrorCode() const { return m_dwLastError; }
    bool HasKeptItems() const { return m_bKeptItems; }

private:
    bool IsCopyOntoParent(const std::wstring& source, const std::wstring& target) const;
    void NoteNesting(const std::wstring& source, const std::wstring& target);
    void CopyAny(std::wstring source, std::wstring target);
    void CopyFolderContents(const std::wstring& pattern, const std::wstring& target);
    void CopySingleFile(const std::wstring& source, const std::wstring& target);
    // dwAttributes: the path's attributes as last read, INVALID_FILE_ATTRIBUTES when unreadable.
    void RemoveAny(const std::wstring& path, std::uint32_t dwAttributes);
    bool ConfirmReadOnlyDelete(std::wstring path);

    std::wstring m_strLastError;
    std::uint32_t m_dwLastError;
    bool m_bKeptItems;
    int m_nNestBudget;
    bool m_bUnattended;
};
