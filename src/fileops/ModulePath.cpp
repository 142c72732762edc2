#include "fileops/ModulePath.h"

#include <windows.h>

#include <limits>

#include "fileops/PathText.h"
#include "fileops/QuietInvalidParameter.h"

int SplitModulePath(wchar_t* fileName, std::size_t cchFileName, wchar_t* drive,
                    std::size_t cchDrive, wchar_t* folder, std::size_t cchFolder) {
    if (fileName == nullptr || cchFileName == 0 || cchFileName > std::numeric_limits<DWORD>::max()) return 9;
    const DWORD cchName = GetModuleFileNameW(nullptr, fileName, static_cast<DWORD>(cchFileName));
    // A name that filled the buffer was cut short: its folder part would be wrong.
    if (cchName == 0 || cchName >= cchFileName) return 9;
    CQuietInvalidParameter quiet;
    return _wsplitpath_s(fileName, drive, cchDrive, folder, cchFolder, nullptr, 0, nullptr, 0);
}

int ResolveModuleRelative(std::wstring& path) {
    if (!IsModuleRelative(path)) return 0;
    wchar_t szFileName[MAX_PATH] = {};
    wchar_t szDrive[3] = {};
    wchar_t szFolder[256] = {};
    const int nResult = SplitModulePath(szFileName, MAX_PATH, szDrive, 3, szFolder, 256);
    if (nResult != 0) return nResult;
    path = JoinModuleRelative(std::wstring(szDrive) + szFolder, path);
    return 0;
}
