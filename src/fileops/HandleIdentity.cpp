#include "fileops/HandleIdentity.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "fileops/NtCalls.h"
#include "fileops/PathText.h"

namespace {
constexpr ULONG kFileInternalInformation = 6;  // the native class that carries the file ID alone
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

bool ReadVolumeSerial(HANDLE h, DWORD& dwSerial) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(h, &info)) return false;
    dwSerial = info.dwVolumeSerialNumber;
    return true;
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
    HandleFacts facts;
    return ReadHandleFacts(h, facts) && !(facts.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           HandleNameIs(h, EntryNameIn(folderName, entryName));
}
