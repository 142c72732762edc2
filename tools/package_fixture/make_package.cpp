// Writes a test update package into a folder; see Usage() for the options.

#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>

#include "package_fixture/PackageFixture.h"

namespace {

const wchar_t kUsage[] =
    L"usage: make_package.exe <root> [options]\n"
    L"  --nic                 NIC-family package (default: USB family)\n"
    L"  --inf STATE           INF pairs: base (default), m, both-active, both-inactive, missing\n"
    L"  --setup FILE          copy FILE to Windows\\Setup.exe (default: a placeholder)\n"
    L"  --no-others           leave out the Others folder\n"
    L"  --no-install-control  leave out the install-control files (their variants stay)\n"
    L"  --no-driver-folders   leave out the per-OS driver folders\n"
    L"  --read-only           mark every file read-only\n"
    L"  --small N             N small files per per-OS driver folder (default 0)\n"
    L"  --small-size BYTES    size of each small file (default 1024)\n"
    L"  --large M             M large files per per-OS driver folder (default 0)\n"
    L"  --large-size BYTES    size of each large file (default 1048576)\n"
    L"  --others K            K small files in Others (default 0)\n";

bool ParseInfState(const std::wstring& text, InfPairState& state) {
    static const struct { const wchar_t* pszName; InfPairState state; } kStates[] = {
        {L"base", InfPairState::BaseActive},        {L"m", InfPairState::AuxMacActive},
        {L"both-active", InfPairState::BothActive}, {L"both-inactive", InfPairState::BothInactive},
        {L"missing", InfPairState::Missing},
    };
    for (const auto& entry : kStates) {
        if (text == entry.pszName) {
            state = entry.state;
            return true;
        }
    }
    return false;
}

bool ParseNumber(const wchar_t* text, std::uint64_t& value) {
    wchar_t* end = nullptr;
    if (*text < L'0' || *text > L'9') return false;
    value = std::wcstoull(text, &end, 10);
    return *end == L'\0';
}

// Fills spec from the options after the root; false on an unknown option or a bad value.
bool ParseOptions(int argc, wchar_t* argv[], PackageSpec& spec) {
    for (int i = 2; i < argc; ++i) {
        const std::wstring option = argv[i];
        const wchar_t* value = (i + 1 < argc) ? argv[i + 1] : nullptr;
        std::uint64_t number = 0;
        if (option == L"--nic") spec.bUsbPackage = false;
        else if (option == L"--no-others") spec.bOthers = false;
        else if (option == L"--no-install-control") spec.bInstallControlFiles = false;
        else if (option == L"--no-driver-folders") spec.bDriverFolders = false;
        else if (option == L"--read-only") spec.bReadOnly = true;
        else if (!value) return false;
        else if (option == L"--inf") {
            if (!ParseInfState(value, spec.infState)) return false;
            ++i;
        } else if (option == L"--setup") {
            spec.strSetupExe = value;
            ++i;
        } else {
            if (!ParseNumber(value, number)) return false;
            if (option == L"--small") spec.nSmallFiles = static_cast<unsigned>(number);
            else if (option == L"--small-size") spec.cbSmallFile = static_cast<std::uint32_t>(number);
            else if (option == L"--large") spec.nLargeFiles = static_cast<unsigned>(number);
            else if (option == L"--large-size") spec.cbLargeFile = number;
            else if (option == L"--others") spec.nOthersFiles = static_cast<unsigned>(number);
            else return false;
            ++i;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    PackageSpec spec;
    if (argc < 2 || argv[1][0] == L'-' || !ParseOptions(argc, argv, spec)) {
        std::fwprintf(stderr, L"%ls", kUsage);
        return 2;
    }
    try {
        WritePackage(argv[1], spec);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_package: %s\n", e.what());
        return 1;
    }
    return 0;
}
