#include "support/FileUtil.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "fileops/ScopedHandle.h"

void MakeFolders(const std::wstring& path) {
    for (std::size_t pos = path.find(L'\\', 3); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) MakeFolders(path.substr(0, slash));
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create " + Narrow(path));
    DWORD written = 0;
    if (!bytes.empty() &&
        (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size()))
        throw std::runtime_error("cannot write " + Narrow(path));
}

std::string ReadBytes(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) throw std::runtime_error("cannot open " + Narrow(path));
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SetReadOnly(const std::wstring& path, bool bReadOnly) {
    if (!SetFileAttributesW(path.c_str(), bReadOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL))
        throw std::runtime_error("cannot set attributes of " + Narrow(path));
}

namespace {
void ListInto(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data;
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    FindHandle listing(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!listing) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring entry = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(entry + L"\\");
            ListInto(root, entry, out);
        } else {
            out.push_back(entry);
        }
    } while (FindNextFileW(listing.Get(), &data));
}

void Mix(std::uint64_t& hash, const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
}
}  // namespace

std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::vector<std::wstring> out;
    ListInto(root, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::size_t CountFiles(const std::wstring& root) {
    std::size_t nFiles = 0;
    for (const std::wstring& entry : ListTree(root)) nFiles += entry.back() != L'\\';
    return nFiles;
}

std::string TreeDigest(const std::wstring& root) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::wstring& entry : ListTree(root)) {
        Mix(hash, entry.data(), entry.size() * sizeof(wchar_t));
        Mix(hash, "\0", 1);
        if (entry.back() != L'\\') {
            std::string bytes = ReadBytes(root + L"\\" + entry);
            Mix(hash, bytes.data(), bytes.size());
            Mix(hash, "\0", 1);
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
