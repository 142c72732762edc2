#pragma once

#include <string>

// A fresh, empty folder for one test, removed with everything in it (read-only files
// included) when the test ends. Lives under the Windows temporary folder of the test process.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path without a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    // Path() + "\" + relative.
    std::wstring operator/(const std::wstring& relative) const { return m_path + L"\\" + relative; }

private:
    std::wstring m_path;
};

// Removes a file or a whole tree, clearing read-only attributes on the way. Missing is fine.
void RemoveTree(const std::wstring& path);
