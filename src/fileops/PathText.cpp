#include "fileops/PathText.h"

#include <cwctype>

void EnsureTrailingBackslash(std::wstring& path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
}

std::wstring LastFolderName(std::wstring pattern) {
    std::size_t lastSlash = pattern.rfind(L'\\');
    if (lastSlash != std::wstring::npos) pattern.erase(lastSlash);
    std::size_t folderSlash = pattern.rfind(L'\\');
    if (folderSlash == std::wstring::npos) return std::wstring();
    return pattern.substr(folderSlash + 1);
}

namespace {
bool IsSeparator(wchar_t ch) { return ch == L'\\' || ch == L'/'; }
}  // namespace

std::wstring FolderAsOpened(std::wstring path) {
    while (path.size() > 1 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
    return path;
}

std::wstring JoinedPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\') return folder + name;
    return folder + L"\\" + name;
}

void SplitParentAndName(const std::wstring& path, std::wstring& parent, std::wstring& name) {
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && IsSeparator(trimmed.back())) trimmed.pop_back();
    const std::size_t lastSlash = trimmed.find_last_of(L"\\/");
    if (lastSlash == std::wstring::npos) {
        parent = L".";
        name = trimmed;
        return;
    }
    name = trimmed.substr(lastSlash + 1);
    parent = trimmed.substr(0, lastSlash);
    while (parent.size() > 1 && IsSeparator(parent.back())) parent.pop_back();
    // A drive's root keeps its backslash.
    if (parent.empty() || parent.back() == L':') parent += L'\\';
}

namespace {
bool SameLetter(wchar_t first, wchar_t second) {
    return std::towupper(static_cast<std::wint_t>(first)) == std::towupper(static_cast<std::wint_t>(second));
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (!SameLetter(text[i], prefix[i])) return false;
    return true;
}
}  // namespace

bool SamePathText(const std::wstring& first, const std::wstring& second) {
    return first.size() == second.size() && StartsWithNoCase(first, second);
}

bool LiesInside(const std::wstring& target, const std::wstring& folder) {
    // "C:\data\" and "C:\data" name the same folder; the boundary test needs the bare name.
    std::size_t end = folder.find_last_not_of(L'\\');
    if (end == std::wstring::npos) return false;
    const std::wstring bare = folder.substr(0, end + 1);
    if (!StartsWithNoCase(target, bare)) return false;
    return target.size() == bare.size() || target[bare.size()] == L'\\';
}

bool IsModuleRelative(const std::wstring& path) {
    // Only the front counts: "\.\" and "\..\" inside an absolute path are the platform's to resolve.
    return path.compare(0, 2, L".\\") == 0 || path.compare(0, 3, L"..\\") == 0;
}

std::wstring JoinModuleRelative(const std::wstring& moduleFolder, const std::wstring& path) {
    std::size_t start = path.find_first_not_of(L".\\");
    return moduleFolder + (start == std::wstring::npos ? std::wstring() : path.substr(start));
}

bool SplitRootAndComponents(const std::wstring& fullPath, std::wstring& root, std::vector<std::wstring>& components) {
    root.clear();
    components.clear();
    std::wstring rest = fullPath;
    std::wstring prefix;
    if (rest.compare(0, 4, L"\\\\?\\") == 0) {
        prefix = L"\\\\?\\";
        rest.erase(0, 4);
        if (rest.size() >= 4 && std::towupper(rest[0]) == L'U' && std::towupper(rest[1]) == L'N' &&
            std::towupper(rest[2]) == L'C' && rest[3] == L'\\') {
            prefix += rest.substr(0, 4);
            rest.erase(0, 4);
            rest = L"\\\\" + rest;
        }
    }
    std::size_t nRootEnd = 0;
    if (rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\' && std::iswalpha(rest[0])) {
        nRootEnd = 3;
    } else if (rest.compare(0, 2, L"\\\\") == 0) {
        // The server and the share, both non-empty.
        const std::size_t nServerEnd = rest.find(L'\\', 2);
        if (nServerEnd == std::wstring::npos || nServerEnd == 2) return false;
        const std::size_t nShareEnd = rest.find(L'\\', nServerEnd + 1);
        nRootEnd = nShareEnd == std::wstring::npos ? rest.size() : nShareEnd;
        if (nRootEnd == nServerEnd + 1) return false;
    } else {
        return false;
    }
    root = rest.substr(0, nRootEnd);
    if (root.back() != L'\\') root += L'\\';
    if (prefix.size() > 4) root.erase(0, 2);  // "\\?\UNC\" stands for the leading "\\"
    root = prefix + root;
    for (std::size_t nStart = nRootEnd; nStart < rest.size();) {
        std::size_t nEnd = rest.find(L'\\', nStart);
        if (nEnd == std::wstring::npos) nEnd = rest.size();
        if (nEnd > nStart) {
            const std::wstring component = rest.substr(nStart, nEnd - nStart);
            if (component == L"." || component == L"..") return false;
            components.push_back(component);
        }
        nStart = nEnd + 1;
    }
    return true;
}
