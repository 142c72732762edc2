#pragma once

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

// A handle on an existing file held by the test process. With no sharing (the default) no
// other process may read, write or delete the file while the handle is open; with
// FILE_SHARE_READ others may still read and start it, but neither replace nor delete it.
class HeldOpenFile {
public:
    explicit HeldOpenFile(const std::wstring& path, DWORD dwShareMode = 0)
        : m_file(CreateFileW(path.c_str(), GENERIC_READ, dwShareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr)) {}

    bool IsHeld() const { return m_file.IsValid(); }
    void Release() { m_file.Reset(); }

private:
    FileHandle m_file;
};
