// The package's driver version: what the platform's INF reader finds in the DriverVer line of
// each active INF of the family's driver folders, and the event field made from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/DriverVersionRead.h"
#include "package/DriverVersionText.h"
#include "package_fixture/PackageFixture.h"
#include "support/FileUtil.h"
#include "support/HeldOpenFile.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

InfDriverVersion Read(const wchar_t* pszFile, const wchar_t* pszVersion) {
    InfDriverVersion inf;
    inf.folder = L"C:\\S\\Windows\\WIN7\\32";
    inf.file = pszFile;
    inf.bHasDriverVer = pszVersion != nullptr;
    if (pszVersion) {
        inf.date = L"06/21/2024";
        inf.version = pszVersion;
    }
    return inf;
}

InfDriverVersion Unreadable(unsigned long dwError) {
    InfDriverVersion inf = Read(L"kvux86w7.INF", nullptr);
    inf.dwError = dwError;
    return inf;
}

InfDriverVersion NoInf() {
    InfDriverVersion inf;
    inf.folder = L"C:\\S\\Windows\\WIN10\\64";
    return inf;
}

struct FieldCase : NamedCase {
    std::vector<InfDriverVersion> infs;
    std::wstring field;
};

class DriverVersionField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(DriverVersionField, NamesEachDistinctVersionOnce) {
    EXPECT_EQ(::DriverVersionField(GetParam().infs), GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(
    Infs, DriverVersionField,
    ::testing::Values(
        FieldCase{"OneVersionEverywhere", {Read(L"a.INF", L"10.1.2.3"), Read(L"b.INF", L"10.1.2.3")}, L"10.1.2.3"},
        FieldCase{"TwoVersionsInFolderOrder",
                  {Read(L"a.INF", L"10.1.2.3"), Read(L"b.INF", L"10.4.0.0"), Read(L"c.INF", L"10.1.2.3")},
                  L"10.1.2.3, 10.4.0.0"},
        FieldCase{"NoDriverVer", {Read(L"a.INF", nullptr), Read(L"b.INF", nullptr)}, L"unknown"},
        FieldCase{"OneWithoutDriverVer", {Read(L"a.INF", L"10.1.2.3"), Read(L"b.INF", nullptr)}, L"10.1.2.3, unknown"},
        FieldCase{"OneUnreadable", {Unreadable(32), Read(L"b.INF", L"10.1.2.3")}, L"unknown, 10.1.2.3"},
        FieldCase{"FolderWithoutInfAddsNothing", {Read(L"a.INF", L"10.1.2.3"), NoInf()}, L"10.1.2.3"},
        FieldCase{"NoInfAtAll", {NoInf(), NoInf()}, L"unknown"},
        FieldCase{"NothingRead", {}, L"unknown"}),
    CaseName());

struct InfNameCase : NamedCase {
    const wchar_t* pszName;
    bool bActive;
};

class ActiveInfName : public ::testing::TestWithParam<InfNameCase> {};

TEST_P(ActiveInfName, EndsInDotInfInAnyCase) { EXPECT_EQ(IsActiveInfName(GetParam().pszName), GetParam().bActive); }

INSTANTIATE_TEST_SUITE_P(Names, ActiveInfName,
                         ::testing::Values(InfNameCase{"Capitals", L"kvux86w7.INF", true},
                                           InfNameCase{"LowerCase", L"kvux86w7.inf", true},
                                           InfNameCase{"Inactive", L"kvux86w7m_", false},
                                           InfNameCase{"LongerExtension", L"notes.info", false},
                                           InfNameCase{"SuffixAlone", L".INF", false}),
                         CaseName());

// One line per entry: the folder below "Windows", the INF, and what was read.
std::vector<std::string> Digest(const std::wstring& root, const std::vector<InfDriverVersion>& infs) {
    std::vector<std::string> lines;
    const std::wstring windows = root + L"\\Windows\\";
    for (const InfDriverVersion& inf : infs) {
        std::string line = Narrow(inf.folder.compare(0, windows.size(), windows) == 0 ? inf.folder.substr(windows.size())
                                                                                        : inf.folder);
        line += " " + (inf.file.empty() ? std::string("-") : Narrow(inf.file));
        if (inf.dwError != 0)
            line += " error " + std::to_string(inf.dwError);
        else if (!inf.file.empty())
            line += inf.bHasDriverVer ? " " + Narrow(inf.date) + " " + Narrow(inf.version) : " no DriverVer";
        lines.push_back(line);
    }
    return lines;
}

struct PackageCase : NamedCase {
    PackageSpec spec;
    std::vector<std::string> digest;
};

PackageSpec Spec(bool bUsb, InfPairState state, const char* pszDriverVer, const char* pszWin10DriverVer = "",
                 bool bDriverFolders = true) {
    PackageSpec spec;
    spec.bUsbPackage = bUsb;
    spec.infState = state;
    spec.strDriverVer = pszDriverVer;
    spec.strWin10DriverVer = pszWin10DriverVer;
    spec.bDriverFolders = bDriverFolders;
    return spec;
}

const PackageCase kPackages[] = {
    {{"UsbOneVersion"},
     Spec(true, InfPairState::BaseActive, "06/21/2024,10.1.2.3"),
     {"WIN7\\32 kvux86w7.INF 06/21/2024 10.1.2.3", "WIN7\\64 kvux64w7.INF 06/21/2024 10.1.2.3",
      "WIN8\\32 kvux86w8.INF 06/21/2024 10.1.2.3", "WIN8\\64 kvux64w8.INF 06/21/2024 10.1.2.3",
      "WIN10\\32 kvux86w10.INF 06/21/2024 10.1.2.3", "WIN10\\64 kvux64w10.INF 06/21/2024 10.1.2.3"}},
    // The chosen INF is the one read, whichever of the pair it is.
    {{"UsbAuxMacChosenTwoVersions"},
     Spec(true, InfPairState::AuxMacActive, "06/21/2024,10.1.2.3", "01/15/2025,10.4.0.0"),
     {"WIN7\\32 kvux86w7m.INF 06/21/2024 10.1.2.3", "WIN7\\64 kvux64w7m.INF 06/21/2024 10.1.2.3",
      "WIN8\\32 kvux86w8m.INF 06/21/2024 10.1.2.3", "WIN8\\64 kvux64w8m.INF 06/21/2024 10.1.2.3",
      "WIN10\\32 kvux86w10m.INF 01/15/2025 10.4.0.0", "WIN10\\64 kvux64w10m.INF 01/15/2025 10.4.0.0"}},
    {{"UsbNoDriverVer"},
     Spec(true, InfPairState::BaseActive, ""),
     {"WIN7\\32 kvux86w7.INF no DriverVer", "WIN7\\64 kvux64w7.INF no DriverVer",
      "WIN8\\32 kvux86w8.INF no DriverVer", "WIN8\\64 kvux64w8.INF no DriverVer",
      "WIN10\\32 kvux86w10.INF no DriverVer", "WIN10\\64 kvux64w10.INF no DriverVer"}},
    {{"UsbNoActiveInf"},
     Spec(true, InfPairState::BothInactive, "06/21/2024,10.1.2.3"),
     {"WIN7\\32 -", "WIN7\\64 -", "WIN8\\32 -", "WIN8\\64 -", "WIN10\\32 -", "WIN10\\64 -"}},
    {{"NicOneVersion"},
     Spec(false, InfPairState::BaseActive, "03/02/2023,6.0.1.7"),
     {"WIN7\\NDIS6\\32 kvndis6.INF 03/02/2023 6.0.1.7", "WIN7\\NDIS6\\64 kvndis6.INF 03/02/2023 6.0.1.7",
      "WIN8\\NDIS6\\32 kvndis6.INF 03/02/2023 6.0.1.7", "WIN8\\NDIS6\\64 kvndis6.INF 03/02/2023 6.0.1.7",
      "WIN10\\NDIS6\\32 kvndis6.INF 03/02/2023 6.0.1.7", "WIN10\\NDIS6\\64 kvndis6.INF 03/02/2023 6.0.1.7"}},
    {{"NoDriverFolders"},
     Spec(true, InfPairState::BaseActive, "06/21/2024,10.1.2.3", "", false),
     {"WIN7\\32 - error 3", "WIN7\\64 - error 3", "WIN8\\32 - error 3", "WIN8\\64 - error 3",
      "WIN10\\32 - error 3", "WIN10\\64 - error 3"}},
};

class PackageDriverVersions : public ::testing::TestWithParam<PackageCase> {};

TEST_P(PackageDriverVersions, OneEntryPerActiveInfOfEachFamilyFolder) {
    TempFolder temp;
    WritePackage(temp.Path(), GetParam().spec);
    EXPECT_EQ(Digest(temp.Path(), ReadPackageDriverVersions(temp.Path(), GetParam().spec.bUsbPackage)),
              GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Packages, PackageDriverVersions, ::testing::ValuesIn(kPackages), CaseName());

// INFs the reader cannot take: each is named with its error, the other folders are read all the
// same, and a name that only looks like an INF's is not read at all.
TEST(PackageDriverVersionsFaults, UnreadableInfsAreNamedAndTheRestRead) {
    TempFolder temp;
    WritePackage(temp.Path(), PackageSpec());
    const std::wstring windows = temp.Path() + L"\\Windows\\";
    WriteBytes(windows + L"WIN7\\64\\kvux64w7.INF", std::string("\xFF\xFE\x00\xD8 not an INF", 14));
    WriteBytes(windows + L"WIN8\\32\\readme.info", "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=01/01/2001,1.0.0.0\r\n");
    const HeldOpenFile held(windows + L"WIN10\\64\\kvux64w10.INF");
    ASSERT_TRUE(held.IsHeld());

    const std::vector<std::string> digest = Digest(temp.Path(), ReadPackageDriverVersions(temp.Path(), true));

    ASSERT_EQ(digest.size(), 6u) << ::testing::PrintToString(digest);
    EXPECT_EQ(digest[0], "WIN7\\32 kvux86w7.INF 06/21/2024 10.1.2.3");
    EXPECT_EQ(digest[1].rfind("WIN7\\64 kvux64w7.INF error ", 0), 0u) << digest[1];
    EXPECT_EQ(digest[2], "WIN8\\32 kvux86w8.INF 06/21/2024 10.1.2.3");
    EXPECT_EQ(digest[4], "WIN10\\32 kvux86w10.INF 06/21/2024 10.1.2.3");
    EXPECT_EQ(digest[5], "WIN10\\64 kvux64w10.INF error 32");  // held without sharing
}

}  // namespace
