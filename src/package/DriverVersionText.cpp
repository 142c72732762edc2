#include "package/DriverVersionText.h"

#include <algorithm>
#include <cwctype>

#include "package/PackageLayout.h"

namespace {

const wchar_t kUnknownVersion[] = L"unknown";

std::wstring VersionOf(const InfDriverVersion& inf) {
    return inf.dwError == 0 && inf.bHasDriverVer && !inf.version.empty() ? inf.version : kUnknownVersion;
}

}  // namespace

bool IsActiveInfName(const std::wstring& name) {
    const std::wstring suffix = kActiveInfSuffix;
    if (name.size() <= suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); });
}

std::wstring DriverVersionField(const std::vector<InfDriverVersion>& infs) {
    std::vector<std::wstring> versions;
    for (const InfDriverVersion& inf : infs) {
        // A folder without an INF, or one that cannot be listed, gives the installer no driver.
        if (inf.file.empty()) continue;
        const std::wstring version = VersionOf(inf);
        if (std::find(versions.begin(), versions.end(), version) == versions.end()) versions.push_back(version);
    }
    if (versions.empty()) return kUnknownVersion;
    std::wstring field;
    for (const std::wstring& version : versions) field += (field.empty() ? L"" : L", ") + version;
    return field;
}
