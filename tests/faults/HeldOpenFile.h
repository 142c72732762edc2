#pragma once

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

// A handle on an existing file that shares nothing, held by the test process: for the program,
// another process, nobody may read, write or delete the file while the handle is open.
class HeldOpenFile {
public:
    explicit HeldOpenFile(const std::wstring& path)
        : m_file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

    bool IsHeld() const { return m_file.IsValid(); }
    void Release() { m_file.Reset(); }

private:
    FileHandle m_file;
};
