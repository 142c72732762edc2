#include "fileops/HandleIdentity.h"

bool ReadHandleFacts(HANDLE h, HandleFacts& facts) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(h, &info)) return false;
    facts.dwAttributes = info.dwFileAttributes;
    facts.dwVolumeSerial = info.dwVolumeSerialNumber;
    facts.ullFileId = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool IsListedEntry(const HandleFacts& opened, DWORD dwFolderSerial, std::uint64_t ullListedId) {
    if (opened.dwVolumeSerial != dwFolderSerial) return false;
    if (ullListedId == 0 || ullListedId == ~std::uint64_t{0}) return true;
    return opened.ullFileId == ullListedId;
}
