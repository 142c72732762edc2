#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/DriverExtraction.h"
#include "package/ResultCodes.h"
#include "StagedPackage.h"
#include "support/NamedCase.h"

namespace {

struct ExtractedFolder {
    const wchar_t* pszFinal;
    const wchar_t* pszUsbSource;
    const wchar_t* pszNicSource;
};

// The eight folders an extraction yields and the staged folder each one copies.
const ExtractedFolder kExtracted[] = {
    {L"Windows7-x86", L"Windows\\WIN7\\32", L"Windows\\WIN7\\NDIS6\\32"},
    {L"Windows7-x64", L"Windows\\WIN7\\64", L"Windows\\WIN7\\NDIS6\\64"},
    {L"Windows8-x86", L"Windows\\WIN8\\32", L"Windows\\WIN8\\NDIS6\\32"},
    {L"Windows8-x64", L"Windows\\WIN8\\64", L"Windows\\WIN8\\NDIS6\\64"},
    {L"Windows8.1-x86", L"Windows\\WIN8\\32", L"Windows\\WIN8\\NDIS6\\32"},
    {L"Windows8.1-x64", L"Windows\\WIN8\\64", L"Windows\\WIN8\\NDIS6\\64"},
    {L"Windows10-x86", L"Windows\\WIN10\\32", L"Windows\\WIN10\\NDIS6\\32"},
    {L"Windows10-x64", L"Windows\\WIN10\\64", L"Windows\\WIN10\\NDIS6\\64"},
};

// The folders directly below folder, sorted, each ending in "\".
std::vector<std::wstring> TopFolders(const std::wstring& folder) {
    std::vector<std::wstring> out;
    for (const std::wstring& entry : ListTree(folder))
        if (entry.back() == L'\\' && entry.find(L'\\') == entry.size() - 1) out.push_back(entry);
    return out;
}

std::vector<std::wstring> ExpectedFinalFolders() {
    std::vector<std::wstring> out;
    for (const ExtractedFolder& folder : kExtracted) out.push_back(std::wstring(folder.pszFinal) + L"\\");
    std::sort(out.begin(), out.end());
    return out;
}

struct FamilyCase : NamedCase {
    bool bUsbPackage;
    const wchar_t* pszFamilyFolder;  // one the failure names when none exists
};

class ExtractDriversFamily : public StagedPackageTest<::testing::TestWithParam<FamilyCase>> {};

}  // namespace

TEST_P(ExtractDriversFamily, YieldsTheEightFoldersEachACopyOfItsDriverFolder) {
    const bool bUsbPackage = GetParam().bUsbPackage;
    PackageSpec spec;
    spec.bUsbPackage = bUsbPackage;
    StagePackage(spec);
    const std::wstring extraction = m_temp / L"out\\production";

    ASSERT_EQ(Extract(extraction, bUsbPackage), kResultOk);

    // Exactly the final names: no intermediate "32" or "64" is left behind.
    EXPECT_EQ(TopFolders(extraction), ExpectedFinalFolders());
    for (const ExtractedFolder& folder : kExtracted) {
        const std::wstring source = Staged(bUsbPackage ? folder.pszUsbSource : folder.pszNicSource);
        const std::wstring copy = extraction + L"\\" + folder.pszFinal;
        EXPECT_EQ(ListTree(copy), ListTree(source)) << Narrow(folder.pszFinal);
        EXPECT_EQ(TreeDigest(copy), TreeDigest(source)) << Narrow(folder.pszFinal);
        EXPECT_TRUE(IsFolder(copy + L"\\Tools")) << Narrow(folder.pszFinal);
    }
    EXPECT_EQ(TreeDigest(extraction + L"\\Windows8.1-x86"), TreeDigest(extraction + L"\\Windows8-x86"));
    EXPECT_EQ(TreeDigest(extraction + L"\\Windows8.1-x64"), TreeDigest(extraction + L"\\Windows8-x64"));
    // The fixture's folders differ, so a row that read the wrong folder shows.
    EXPECT_NE(TreeDigest(extraction + L"\\Windows7-x86"), TreeDigest(extraction + L"\\Windows7-x64"));
    EXPECT_NE(TreeDigest(extraction + L"\\Windows7-x86"), TreeDigest(extraction + L"\\Windows10-x86"));
}

// No driver folder extracted is no extraction: the run must not report success for it. The
// failure names the family whose folders were looked for.
TEST_P(ExtractDriversFamily, PackageWithoutDriverFoldersFails) {
    const bool bUsbPackage = GetParam().bUsbPackage;
    PackageSpec spec;
    spec.bUsbPackage = bUsbPackage;
    spec.bDriverFolders = false;
    StagePackage(spec);
    const std::wstring extraction = m_temp / L"out\\production";

    EXPECT_EQ(Extract(extraction, bUsbPackage), kResultNoDriverFolders);

    EXPECT_TRUE(ListTree(extraction).empty());
    EXPECT_EQ(m_failure.step, L"find the drivers to extract");
    EXPECT_EQ(m_failure.path, m_staging + L"\\Windows");
    EXPECT_NE(m_failure.finding.find(GetParam().pszFamilyFolder), std::wstring::npos) << Narrow(m_failure.finding);
}

// A package whose profile names the other family holds none of this family's folders. It is
// found out before anything is removed: the drivers of an earlier extraction stay usable.
TEST_P(ExtractDriversFamily, OtherFamilysPackageFailsAndLeavesAnEarlierExtraction) {
    const bool bUsbPackage = GetParam().bUsbPackage;
    PackageSpec spec;
    spec.bUsbPackage = !bUsbPackage;
    StagePackage(spec);
    const std::wstring extraction = m_temp / L"out\\production";
    WriteBytes(extraction + L"\\Windows10-x64\\old.sys", "driver of an earlier extraction");

    EXPECT_EQ(Extract(extraction, bUsbPackage), kResultNoDriverFolders);

    EXPECT_EQ(ListTree(extraction), (std::vector<std::wstring>{L"Windows10-x64\\", L"Windows10-x64\\old.sys"}));
    EXPECT_EQ(ReadBytes(extraction + L"\\Windows10-x64\\old.sys"), "driver of an earlier extraction");
}

INSTANTIATE_TEST_SUITE_P(Families, ExtractDriversFamily,
                         ::testing::Values(FamilyCase{"NicFamily", false, L"Windows\\WIN10\\NDIS6\\64"},
                                           FamilyCase{"UsbFamily", true, L"Windows\\WIN10\\64"}), CaseName());

TEST_F(StagedPackage, ExtractionRebuildsOnlyTheProductionFolder) {
    StagePackage(PackageSpec{});
    const std::wstring given = m_temp / L"out";
    WriteBytes(given + L"\\keep.txt", "kept");
    WriteBytes(given + L"\\production\\stale.txt", "stale");
    WriteBytes(given + L"\\production\\Windows7-x86\\old.sys", "old driver");

    ASSERT_EQ(Extract(given + L"\\production", true), kResultOk);

    EXPECT_EQ(ReadBytes(given + L"\\keep.txt"), "kept");
    EXPECT_FALSE(PathExists(given + L"\\production\\stale.txt"));
    EXPECT_FALSE(PathExists(given + L"\\production\\Windows7-x86\\old.sys"));
    EXPECT_EQ(TopFolders(given + L"\\production"), ExpectedFinalFolders());
    EXPECT_EQ(TopFolders(given), std::vector<std::wstring>{L"production\\"});
}

TEST_F(StagedPackage, ExtractionPathNamingAFileReplacesTheFile) {
    StagePackage(PackageSpec{});
    const std::wstring extraction = m_temp / L"production";
    WriteBytes(extraction, "a file in the way");

    ASSERT_EQ(Extract(extraction, true), kResultOk);

    EXPECT_EQ(TopFolders(extraction), ExpectedFinalFolders());
}

TEST_F(StagedPackage, UncreatableExtractionFolderGives8) {
    StagePackage(PackageSpec{});
    WriteBytes(m_temp / L"blocker", "a file where a folder should be");

    EXPECT_EQ(Extract(m_temp / L"blocker\\production", true),
              kResultCannotCreateFolder);

    EXPECT_EQ(ReadBytes(m_temp / L"blocker"), "a file where a folder should be");
    EXPECT_EQ(m_failure.step, L"create the driver folder");
    EXPECT_EQ(m_failure.path, m_temp / L"blocker\\production");
    EXPECT_NE(m_failure.dwError, 0u);
}

// Extraction takes the INF files as the package names them: no AUX MAC choice is made here.
TEST_F(StagedPackage, ExtractionKeepsThePackagesInfNames) {
    PackageSpec spec;
    spec.infState = InfPairState::AuxMacActive;
    StagePackage(spec);
    const std::wstring extraction = m_temp / L"production";

    ASSERT_EQ(Extract(extraction, true), kResultOk);

    for (const wchar_t* pszFinal : {L"Windows8-x64", L"Windows8.1-x64"}) {
        const std::wstring folder = extraction + L"\\" + pszFinal;
        EXPECT_TRUE(PathExists(folder + L"\\kvux64w8m.INF")) << Narrow(pszFinal);
        EXPECT_TRUE(PathExists(folder + L"\\kvux64w8_")) << Narrow(pszFinal);
        EXPECT_FALSE(PathExists(folder + L"\\kvux64w8.INF")) << Narrow(pszFinal);
    }
}

// An old extraction folder that stays would mix its drivers with these: the extraction stops.
TEST_F(StagedPackage, OldExtractionFolderThatCannotBeRemovedFailsTheExtraction) {
    StagePackage(PackageSpec{});
    const std::wstring extraction = m_temp / L"production";
    WriteBytes(extraction + L"\\Windows7-x86\\old.sys", "driver of an earlier extraction");
    const FileHandle held(CreateFileW((extraction + L"\\Windows7-x86\\old.sys").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());

    EXPECT_EQ(Extract(extraction, true), kResultCannotCreateFolder);

    EXPECT_EQ(m_failure.step, L"remove the old driver folder");
    EXPECT_EQ(m_failure.path, extraction + L"\\Windows7-x86\\old.sys");
    EXPECT_EQ(m_failure.dwError, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(PathExists(extraction + L"\\Windows10-x64")) << "nothing is copied next to what stayed";
}
