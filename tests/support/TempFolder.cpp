#include "support/TempFolder.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/TestSlot.h"

namespace {
std::atomic<unsigned> g_nextFolder{0};
}

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) throw std::runtime_error("no temporary folder");
    std::wstring base = std::wstring(temp) + L"nicupdate-tests";
    CreateDirectoryW(base.c_str(), nullptr);
    // The slot in the name: a Linux-side helper finds this test's processes by this path, and
    // the other slot's test may have the same process id.
    const std::wstring slot = TestSlot();
    for (;;) {
        m_path = base + L"\\t" + (slot.empty() ? L"" : slot + L"-") + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(g_nextFolder++);
        if (CreateDirectoryW(m_path.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create test folder");
    }
}

TempFolder::~TempFolder() { RemoveTree(m_path); }

void RemoveTree(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    {
        FindHandle listing(FindFirstFileW((path + L"\\*").c_str(), &data));
        if (listing) {
            do {
                std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                RemoveTree(path + L"\\" + name);
            } while (FindNextFileW(listing.Get(), &data));
        }
    }
    RemoveDirectoryW(path.c_str());
}
