#pragma once

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

// A listing over a search pattern that reads one entry ahead, so that each advance can tell
// whether yet another entry follows the one it makes current. Closed when it goes out of scope.
class CFolderListing {
public:
    CFolderListing() = default;
    CFolderListing(const CFolderListing&) = delete;
    CFolderListing& operator=(const CFolderListing&) = delete;

    // False when nothing matches or the pattern has MAX_PATH characters or more; Error() says why.
    bool Begin(const std::wstring& pattern);
    // Makes the next entry current; true when yet another entry follows it. Only after Begin
    // succeeded, and only while the previous advance returned true.
    bool Advance();
    // Why the listing did not begin, or why it ended: ERROR_NO_MORE_FILES after the last entry,
    // ERROR_FILE_NOT_FOUND when nothing matched, ERROR_FILENAME_EXCED_RANGE for a pattern too long.
    DWORD Error() const { return m_dwError; }

    std::wstring Name() const { return m_current.cFileName; }
    // The pattern's folder, a backslash and the entry's name.
    std::wstring FullPath() const { return m_folderPrefix + m_current.cFileName; }
    // As the listing read them: a link carries FILE_ATTRIBUTE_REPARSE_POINT here.
    DWORD Attributes() const { return m_current.dwFileAttributes; }
    bool IsFolder() const { return (m_current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsDots() const;
    unsigned long long Size() const {
        return (static_cast<unsigned long long>(m_current.nFileSizeHigh) << 32) | m_current.nFileSizeLow;
    }

private:
    FindHandle m_find;
    std::wstring m_folderPrefix;  // the pattern up to and including its last backslash
    WIN32_FIND_DATAW m_current = {};
    WIN32_FIND_DATAW m_next = {};
    DWORD m_dwError = ERROR_SUCCESS;
};
