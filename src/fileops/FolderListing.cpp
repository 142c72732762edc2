#include "fileops/FolderListing.h"

#include <cwchar>
#include <utility>

bool CFolderListing::Begin(const std::wstring& pattern) {
    m_find.Reset();
    m_dwError = ERROR_SUCCESS;
    if (pattern.size() >= MAX_PATH) {
        m_dwError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    FindHandle find(FindFirstFileW(pattern.c_str(), &m_next));
    if (!find) {
        m_dwError = GetLastError();
        return false;
    }
    std::size_t lastSlash = pattern.rfind(L'\\');
    m_folderPrefix = (lastSlash == std::wstring::npos) ? std::wstring() : pattern.substr(0, lastSlash + 1);
    m_find = std::move(find);
    return true;
}

bool CFolderListing::Advance() {
    m_current = m_next;
    if (FindNextFileW(m_find.Get(), &m_next)) return true;
    m_dwError = GetLastError();
    return false;
}

bool CFolderListing::IsDots() const {
    return IsFolder() && (std::wcscmp(m_current.cFileName, L".") == 0 || std::wcscmp(m_current.cFileName, L"..") == 0);
}
