#include "package/DriverVersionRead.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <vector>

#include "fileops/FolderListing.h"
#include "fileops/ScopedHandle.h"
#include "package/PackageLayout.h"

namespace {

struct InfFilePolicy {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::SetupCloseInfFile(h); }
};
using InfFile = ScopedHandle<InfFilePolicy>;

// One field of the line, or false with the thread's last error.
bool ReadField(INFCONTEXT& line, DWORD dwField, std::wstring& text) {
    DWORD cch = 0;
    if (!SetupGetStringFieldW(&line, dwField, nullptr, 0, &cch) || cch == 0) return false;
    std::vector<wchar_t> buffer(cch);
    if (!SetupGetStringFieldW(&line, dwField, buffer.data(), cch, &cch)) return false;
    text.assign(buffer.data());
    return true;
}

// The staged package is this run's own and its folder is held, so its paths lead where the
// copy put the files.
void ReadInf(InfDriverVersion& inf) {
    const std::wstring path = inf.folder + L"\\" + inf.file;
    UINT nErrorLine = 0;
    const InfFile hInf(SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, &nErrorLine));
    if (!hInf) {
        inf.dwError = GetLastError();
        return;
    }
    INFCONTEXT line = {};
    if (!SetupFindFirstLineW(hInf.Get(), L"Version", L"DriverVer", &line)) return;
    inf.bHasDriverVer = ReadField(line, 1, inf.date);
    // A DriverVer with a date alone still has a date; its version stays empty.
    if (inf.bHasDriverVer) ReadField(line, 2, inf.version);
}

// Each active INF of the folder, or one entry saying the folder has none or cannot be listed.
void ReadFolder(const std::wstring& folder, std::vector<InfDriverVersion>& infs) {
    const std::size_t nBefore = infs.size();
    CFolderListing listing;
    // Every name, then the INF rule on the long name: a pattern would match short names too.
    if (!listing.Begin(folder + L"\\*")) {
        InfDriverVersion missing;
        missing.folder = folder;
        missing.dwError = listing.Error();
        infs.push_back(missing);
        return;
    }
    for (bool bMore = true; bMore;) {
        bMore = listing.Advance();
        if (listing.IsFolder() || !IsActiveInfName(listing.Name())) continue;
        InfDriverVersion inf;
        inf.folder = folder;
        inf.file = listing.Name();
        ReadInf(inf);
        infs.push_back(inf);
    }
    if (listing.Error() != ERROR_NO_MORE_FILES && listing.Error() != ERROR_SUCCESS) {
        InfDriverVersion broken;
        broken.folder = folder;
        broken.dwError = listing.Error();
        infs.push_back(broken);
    } else if (infs.size() == nBefore) {
        InfDriverVersion none;
        none.folder = folder;
        infs.push_back(none);
    }
}

}  // namespace

std::vector<InfDriverVersion> ReadPackageDriverVersions(const std::wstring& stagingFolder, bool bUsbPackage) {
    std::vector<std::wstring> folders;
    for (const OsDriverRow& row : kOsDriverRows) {
        const std::wstring folder = stagingFolder + L"\\" + kWindowsFolder + OsDriverSource(row, bUsbPackage);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    std::vector<InfDriverVersion> infs;
    for (const std::wstring& folder : folders) ReadFolder(folder, infs);
    return infs;
}
