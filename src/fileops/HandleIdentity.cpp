#include "fileops/HandleIdentity.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "fileops/NtCalls.h"
#include "fileops/PathText.h"

namespace {
constexpr ULONG kFileInternalInformation = 6;  // the native class that carries the file ID alone
constexpr ULONG kFileAllInformation = 18;      // basic, standard, internal, ..., name: one query
constexpr ULONG kFileIdInformation = 59;       // the volume's 64-bit serial and the 128-bit file ID
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);

// FILE_ID_INFO as the native call fills it.
struct NativeIdInformation {
    std::uint64_t ullVolumeSerial;
    unsigned char fileId[16];
};
static_assert(sizeof(NativeIdInformation) == 24, "the native file-ID layout");

// The native layout of the all-information class, which the user-mode headers lack.
struct NativeAllInformation {
    LARGE_INTEGER creationTime;
    LARGE_INTEGER lastAccessTime;
    LARGE_INTEGER lastWriteTime;
    LARGE_INTEGER changeTime;
    ULONG ulFileAttributes;
    LARGE_INTEGER allocationSize;
    LARGE_INTEGER endOfFile;
    ULONG ulNumberOfLinks;
    BOOLEAN bDeletePending;
    BOOLEAN bDirectory;
    LARGE_INTEGER fileId;
    ULONG ulEaSize;
    ACCESS_MASK accessFlags;
    LARGE_INTEGER currentByteOffset;
    ULONG ulMode;
    ULONG ulAlignmentRequirement;
    ULONG cbFileName;
    WCHAR fileName[1];
};
static_assert(offsetof(NativeAllInformation, fileId) == 64 && offsetof(NativeAllInformation, cbFileName) == 96,
              "the native all-information layout");

// Most names fit the first buffer; a longer one says how long it is.
constexpr std::size_t kFirstNameBytes = 2048;
}  // namespace

bool ReadHandleFacts(HANDLE h, HandleFacts& facts) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    const NtCalls& calls = Nt();
    if (calls.pfnQueryInformationFile == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    IO_STATUS_BLOCK status = {};
    LARGE_INTEGER fileId = {};
    const LONG lStatus = calls.pfnQueryInformationFile(h, &status, &fileId, sizeof fileId, kFileInternalInformation);
    if (lStatus < 0) {
        FailWithStatus(lStatus);
        return false;
    }
    facts.dwAttributes = tag.FileAttributes;
    facts.ullFileId = static_cast<std::uint64_t>(fileId.QuadPart);
    return true;
}

bool ReadHandleDetails(HANDLE h, HandleDetails& details) {
    const NtCalls& calls = Nt();
    if (calls.pfnQueryInformationFile == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    std::vector<unsigned char> buffer(offsetof(NativeAllInformation, fileName) + kFirstNameBytes);
    for (;;) {
        IO_STATUS_BLOCK status = {};
        const LONG lStatus = calls.pfnQueryInformationFile(h, &status, buffer.data(), static_cast<ULONG>(buffer.size()),
                                                           kFileAllInformation);
        ULONG cbName = 0;
        std::memcpy(&cbName, buffer.data() + offsetof(NativeAllInformation, cbFileName), sizeof cbName);
        const std::size_t cbNeeded = offsetof(NativeAllInformation, fileName) + cbName;
        if (lStatus == kStatusBufferOverflow && cbNeeded > buffer.size() && cbName <= 0xFFFF) {
            buffer.resize(cbNeeded);
            continue;
        }
        if (lStatus < 0 || cbNeeded > buffer.size()) {
            FailWithStatus(lStatus < 0 ? lStatus : kStatusBufferOverflow);
            return false;
        }
        NativeAllInformation all;
        std::memcpy(&all, buffer.data(), offsetof(NativeAllInformation, fileName));
        details.facts.dwAttributes = all.ulFileAttributes;
        details.facts.ullFileId = static_cast<std::uint64_t>(all.fileId.QuadPart);
        details.lastWriteTime = all.lastWriteTime;
        details.name.assign(cbName / sizeof(wchar_t), L'\0');
        if (!details.name.empty())
            std::memcpy(&details.name[0], buffer.data() + offsetof(NativeAllInformation, fileName), cbName);
        return true;
    }
}

bool IsEntryItself(const HandleDetails& details, const std::wstring& folderName, const std::wstring& entryName) {
    const std::wstring expected = EntryNameIn(folderName, entryName);
    return !(details.facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           CompareStringOrdinal(details.name.c_str(), static_cast<int>(details.name.size()), expected.c_str(),
                                static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

bool ReadFolderIdentity(HANDLE h, FolderIdentity& identity) {
    HandleFacts facts;
    if (!ReadHandleFacts(h, facts)) return false;
    identity.ullListedId = facts.ullFileId;
    // The wide identity, through the native call: platforms before Windows 8 do not know the
    // class and some file systems refuse it; they leave the narrow pair.
    IO_STATUS_BLOCK status = {};
    NativeIdInformation wide = {};
    if (Nt().pfnQueryInformationFile(h, &status, &wide, sizeof wide, kFileIdInformation) >= 0) {
        identity.ullVolume = wide.ullVolumeSerial;
        std::memcpy(&identity.ullIdLow, wide.fileId, sizeof identity.ullIdLow);
        std::memcpy(&identity.ullIdHigh, wide.fileId + sizeof identity.ullIdLow, sizeof identity.ullIdHigh);
        identity.bWide = true;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(h, &info)) return false;
    identity.ullVolume = info.dwVolumeSerialNumber;
    identity.ullIdLow = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.ullIdHigh = 0;
    identity.bWide = false;
    return true;
}

bool IsSameVolume(const FolderIdentity& a, const FolderIdentity& b) {
    return a.bWide == b.bWide && a.ullVolume == b.ullVolume;
}

bool IsSameFolder(const FolderIdentity& a, const FolderIdentity& b) {
    constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
    // No ID at all, or the invalid ID in its narrow or its wide form.
    const bool bUsable = (a.ullIdLow != 0 || a.ullIdHigh != 0) &&
                         !(a.ullIdLow == kAllOnes && (a.ullIdHigh == 0 || a.ullIdHigh == kAllOnes));
    return bUsable && IsSameVolume(a, b) && a.ullIdLow == b.ullIdLow && a.ullIdHigh == b.ullIdHigh;
}

bool IsListedEntry(const HandleFacts& opened, std::uint64_t ullListedId) {
    if (ullListedId == 0 || ullListedId == ~std::uint64_t{0}) return true;
    return opened.ullFileId == ullListedId;
}

bool ReadHandleName(HANDLE h, std::wstring& name) {
    // Most names fit the first buffer; a longer one says how long it is.
    union {
        FILE_NAME_INFO info;
        unsigned char raw[2048];
    } small;
    std::vector<unsigned char> large;
    const unsigned char* pInfo = small.raw;
    if (!GetFileInformationByHandleEx(h, FileNameInfo, &small, sizeof small)) {
        if (GetLastError() != ERROR_MORE_DATA) return false;
        large.resize(offsetof(FILE_NAME_INFO, FileName) + small.info.FileNameLength + sizeof(wchar_t));
        if (!GetFileInformationByHandleEx(h, FileNameInfo, large.data(), static_cast<DWORD>(large.size())))
            return false;
        pInfo = large.data();
    }
    DWORD cbName = 0;
    std::memcpy(&cbName, pInfo + offsetof(FILE_NAME_INFO, FileNameLength), sizeof cbName);
    name.assign(cbName / sizeof(wchar_t), L'\0');
    if (!name.empty()) std::memcpy(&name[0], pInfo + offsetof(FILE_NAME_INFO, FileName), cbName);
    return true;
}

std::wstring EntryNameIn(const std::wstring& folderName, const std::wstring& entryName) {
    return JoinedPath(folderName, entryName);
}

bool HandleNameIs(HANDLE h, const std::wstring& expected) {
    std::wstring name;
    if (!ReadHandleName(h, name)) return false;
    return CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), expected.c_str(),
                                static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

bool HoldsEntryItself(HANDLE h, const std::wstring& folderName, const std::wstring& entryName) {
    HandleDetails details;
    return ReadHandleDetails(h, details) && IsEntryItself(details, folderName, entryName);
}
