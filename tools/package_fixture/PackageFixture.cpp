#include "package_fixture/PackageFixture.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <vector>

#include "fileops/ScopedHandle.h"
#include "package/PackageLayout.h"
#include "text/Narrow.h"

const wchar_t kNicInfName[] = L"kvndis6.INF";

namespace {

[[noreturn]] void Fail(const char* what, const std::wstring& path) {
    throw std::runtime_error(std::string(what) + " " + Narrow(path) + " (error " +
                             std::to_string(GetLastError()) + ")");
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

class PackageWriter {
public:
    PackageWriter(const std::wstring& root, const PackageSpec& spec) : m_root(WithoutTrailingBackslash(root)), m_spec(spec) {}

    void Write() {
        MakeFolder(m_root);
        WriteWindowsFolder();
        if (m_spec.bOthers) WriteOthersFolder();
        if (m_spec.bReadOnly) {
            for (const std::wstring& path : m_written)
                if (!SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY)) Fail("cannot mark", path);
        }
    }

private:
    std::wstring Relative(const std::wstring& path) const { return path.substr(m_root.size() + 1); }

    // Each folder is asked for once: asking again for every file's whole chain cost a test more
    // time than writing the files. Only the folder itself must turn out made.
    void MakeFolder(const std::wstring& path) {
        if (m_made.count(path)) return;
        for (std::size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
            if (pos > 0 && m_made.insert(path.substr(0, pos)).second) CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            Fail("cannot create folder", path);
        m_made.insert(path);
    }

    void WriteFile(const std::wstring& path, const std::string& bytes) { WriteFileOfSize(path, bytes, bytes.size()); }

    // Writes size bytes: pattern repeated, then cut.
    void WriteFileOfSize(const std::wstring& path, const std::string& pattern, std::uint64_t size) {
        MakeFolder(path.substr(0, path.rfind(L'\\')));
        FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) Fail("cannot create", path);
        std::string chunk;
        if (!pattern.empty())
            while (chunk.size() < 65536) chunk += pattern;
        for (std::uint64_t left = size; left > 0;) {
            DWORD cb = static_cast<DWORD>(std::min<std::uint64_t>(left, chunk.size()));
            DWORD written = 0;
            if (!::WriteFile(file.Get(), chunk.data(), cb, &written, nullptr) || written != cb)
                Fail("cannot write", path);
            left -= cb;
        }
        m_written.push_back(path);
    }

    // Every file says where it belongs, so a copy in the wrong place shows.
    std::string Text(const std::wstring& path) const { return "package file " + Narrow(Relative(path)) + "\r\n"; }

    void WriteWindowsFolder() {
        const std::wstring windows = m_root + L"\\" + kWindowsFolder;
        WriteFile(windows + L"\\" + kProfileFile,
                  m_spec.bUsbPackage ? "[Package]\r\nFamily = USB\r\n" : "[Package]\r\nFamily = NIC\r\n");
        WriteInstaller(windows + kInstallerFile);
        WriteInstallControl(true);
        WriteInstallControl(false);
        if (m_spec.bDriverFolders) WriteDriverFolders();
    }

    void WriteInstaller(const std::wstring& path) {
        if (m_spec.strSetupExe.empty()) {
            WriteFile(path, "placeholder driver installer\r\n");
            return;
        }
        if (!CopyFileW(m_spec.strSetupExe.c_str(), path.c_str(), FALSE)) Fail("cannot copy installer to", path);
        m_written.push_back(path);
    }

    // Both families' files are always there: each family must read only its own.
    void WriteInstallControl(bool bUsbPackage) {
        const InstallControlFiles& files = InstallControlFor(bUsbPackage);
        for (const wchar_t* pszFile : {files.pszControlFile, files.pszForcedVariant, files.pszUnforcedVariant}) {
            if (pszFile == files.pszControlFile && !m_spec.bInstallControlFiles) continue;
            const std::wstring path = InstallControlPath(m_root, bUsbPackage, pszFile);
            WriteFile(path, Text(path));
        }
    }

    void WriteDriverFolders() {
        std::vector<std::wstring> folders;
        for (const OsDriverRow& row : kOsDriverRows) {
            std::wstring folder = m_root + L"\\" + kWindowsFolder + OsDriverSource(row, m_spec.bUsbPackage);
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
        }
        for (const std::wstring& folder : folders) WriteDriverFolder(folder);
        if (m_spec.bUsbPackage) {
            for (const InfPairFolder& pair : kInfPairFolders) WriteInfPair(pair);
        } else {
            for (const std::wstring& folder : folders) WriteFile(folder + L"\\" + kNicInfName, InfText("kvndis6", folder));
        }
    }

    void WriteDriverFolder(const std::wstring& folder) {
        for (const wchar_t* pszName : {L"\\driver.sys", L"\\driver.cat", L"\\Tools\\tool.txt"}) {
            const std::wstring path = folder + pszName;
            WriteFile(path, Text(path));
        }
        for (unsigned i = 0; i < m_spec.nSmallFiles; ++i) {
            const std::wstring path = folder + L"\\small" + std::to_wstring(i) + L".dat";
            WriteFileOfSize(path, Text(path), m_spec.cbSmallFile);
        }
        for (unsigned i = 0; i < m_spec.nLargeFiles; ++i) {
            const std::wstring path = folder + L"\\large" + std::to_wstring(i) + L".bin";
            WriteFileOfSize(path, Text(path), m_spec.cbLargeFile);
        }
    }

    void WriteInfPair(const InfPairFolder& pair) {
        const std::wstring base = pair.pszBaseName;
        const std::wstring aux = AuxMacInfName(pair);
        const std::wstring active = kActiveInfSuffix;
        const std::wstring inactive = kInactiveInfSuffix;
        std::vector<std::wstring> names;
        switch (m_spec.infState) {
            case InfPairState::BaseActive: names = {base + active, aux + inactive}; break;
            case InfPairState::AuxMacActive: names = {aux + active, base + inactive}; break;
            case InfPairState::BothActive: names = {base + active, aux + active}; break;
            case InfPairState::BothInactive: names = {base + inactive, aux + inactive}; break;
            case InfPairState::Missing: break;
        }
        const std::wstring folder = InfPairFolderPath(m_root, pair);
        for (const std::wstring& name : names) {
            const std::wstring inf = name.substr(0, name.size() - (name.back() == L'_' ? 1 : active.size()));
            WriteFile(folder + name, InfText(Narrow(inf), folder));
        }
    }

    // A driver INF's head as the platform's INF reader takes it. The comment names the INF, not
    // the file name it is found under, so a rename keeps it recognisable.
    std::string InfText(const std::string& inf, const std::wstring& folder) const {
        const bool bWin10 = folder.find(L"\\WIN10\\") != std::wstring::npos;
        const std::string& driverVer =
            bWin10 && !m_spec.strWin10DriverVer.empty() ? m_spec.strWin10DriverVer : m_spec.strDriverVer;
        return "; INF " + inf + "\r\n"
               "[Version]\r\n"
               "Signature=\"$Windows NT$\"\r\n"
               "Class=Net\r\n"
               "ClassGuid={4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
               "Provider=%Maker%\r\n" +
               (driverVer.empty() ? std::string() : "DriverVer=" + driverVer + "\r\n") +
               "CatalogFile=driver.cat\r\n"
               "\r\n"
               "[Strings]\r\n"
               "Maker=\"Network driver package maker\"\r\n";
    }

    void WriteOthersFolder() {
        const std::wstring others = m_root + L"\\" + kOthersFolder;
        for (const wchar_t* pszName : {L"\\readme.txt", L"\\Docs\\manual.txt"}) {
            const std::wstring path = others + pszName;
            WriteFile(path, Text(path));
        }
        for (unsigned i = 0; i < m_spec.nOthersFiles; ++i) {
            const std::wstring path = others + L"\\other" + std::to_wstring(i) + L".dat";
            WriteFileOfSize(path, Text(path), m_spec.cbSmallFile);
        }
    }

    const std::wstring m_root;
    const PackageSpec& m_spec;
    std::vector<std::wstring> m_written;
    std::set<std::wstring> m_made;
};

}  // namespace

void WritePackage(const std::wstring& root, const PackageSpec& spec) {
    PackageWriter(root, spec).Write();
}
