#include "fileops/CallerPathLink.h"

#include <cstring>
#include <vector>

#include "fileops/NtCalls.h"
#include "fileops/NtRelativeOpen.h"
#include "fileops/ScopedHandle.h"
#include "fileops/SecurityRead.h"
#include "fileops/TrustedOwner.h"

namespace {

constexpr ULONG kGetReparsePoint = 0x000900A8;  // FSCTL_GET_REPARSE_POINT
constexpr ULONG kMountPointTag = 0xA0000003;    // junctions and mount points
constexpr ULONG kSymbolicLinkTag = 0xA000000C;
constexpr std::size_t kMostReparseData = 16 * 1024;
// The names' offsets and lengths follow the header (tag, data length, reserved); a symbolic
// link's flags come between them and the names.
constexpr std::size_t kNamesAt = 8;
constexpr std::size_t kMountPointPathAt = 16;
constexpr std::size_t kSymbolicLinkPathAt = 20;

std::wstring NameAt(const std::vector<unsigned char>& data, std::size_t cbPathAt, USHORT cbOffset, USHORT cbLength) {
    if (cbPathAt + cbOffset + cbLength > data.size()) return std::wstring();
    std::wstring name(cbLength / sizeof(wchar_t), L'\0');
    if (!name.empty()) std::memcpy(&name[0], data.data() + cbPathAt + cbOffset, name.size() * sizeof(wchar_t));
    return name;
}

// Where the link points, as its maker wrote it, or why that cannot be said.
std::wstring LinkTarget(HANDLE hLink) {
    const NtCalls& calls = Nt();
    if (calls.pfnFsControlFile == nullptr) return L"a place that cannot be read";
    std::vector<unsigned char> data(kMostReparseData);
    IO_STATUS_BLOCK status = {};
    const LONG lStatus = calls.pfnFsControlFile(hLink, nullptr, nullptr, nullptr, &status, kGetReparsePoint, nullptr,
                                                0, data.data(), static_cast<ULONG>(data.size()));
    if (lStatus < 0) return L"a place that cannot be read (" + Win32ErrorText(FailWithStatus(lStatus)) + L")";
    ULONG ulTag = 0;
    std::memcpy(&ulTag, data.data(), sizeof ulTag);
    if (ulTag != kMountPointTag && ulTag != kSymbolicLinkTag) {
        wchar_t szTag[16] = {};
        swprintf(szTag, 16, L"0x%08lX", static_cast<unsigned long>(ulTag));
        return std::wstring(L"what a reparse point of tag ") + szTag + L" names";
    }
    USHORT names[4] = {};  // substitute offset and length, print offset and length
    std::memcpy(names, data.data() + kNamesAt, sizeof names);
    const std::size_t cbPathAt = ulTag == kMountPointTag ? kMountPointPathAt : kSymbolicLinkPathAt;
    const std::wstring print = NameAt(data, cbPathAt, names[2], names[3]);
    const std::wstring substitute = NameAt(data, cbPathAt, names[0], names[1]);
    return L"\"" + (print.empty() ? substitute : print) + L"\"";
}

}  // namespace

bool IsLinkAnAdministratorsChoice(HANDLE hParent, const std::wstring& name, std::wstring& refusal) {
    FileHandle link;
    const DWORD dwOpenError = OpenRelative(hParent, name, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           FILE_OPEN_REPARSE_POINT, link);
    if (dwOpenError != ERROR_SUCCESS) {
        refusal = L"a link that cannot be opened as itself to read its owner (" + Win32ErrorText(dwOpenError) + L")";
        return false;
    }
    std::vector<unsigned char> descriptor;
    const DWORD dwOwnerError = ReadSecurity(link.Get(), OWNER_SECURITY_INFORMATION, descriptor);
    const PSID pOwner = dwOwnerError == ERROR_SUCCESS ? OwnerOf(descriptor) : nullptr;
    if (pOwner != nullptr && IsAdministratorsAccount(pOwner)) return true;
    const DWORD dwReadError = dwOwnerError != ERROR_SUCCESS ? dwOwnerError : DWORD{ERROR_INVALID_OWNER};
    const std::wstring owner = pOwner != nullptr ? AccountText(pOwner)
                                                 : L"an account that cannot be read (" + Win32ErrorText(dwReadError) + L")";
    refusal = L"a link to " + LinkTarget(link.Get()) + L" owned by " + owner +
              L", neither SYSTEM, the Administrators group, TrustedInstaller nor the run's own account: only a link "
              L"an administrator made is followed";
    return false;
}
