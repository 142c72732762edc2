#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/AuxMacInf.h"
#include "StagedPackage.h"
#include "support/HeldOpenFile.h"
#include "support/NamedCase.h"

namespace {

struct InfFolder {
    const wchar_t* pszFolder;  // below the staging folder
    const wchar_t* pszBase;
};

const InfFolder kInfFolders[] = {
    {L"Windows\\WIN7\\32", L"kvux86w7"},   {L"Windows\\WIN7\\64", L"kvux64w7"},
    {L"Windows\\WIN8\\32", L"kvux86w8"},   {L"Windows\\WIN8\\64", L"kvux64w8"},
    {L"Windows\\WIN10\\32", L"kvux86w10"}, {L"Windows\\WIN10\\64", L"kvux64w10"},
};

// One INF file as found afterwards: its name and the INF it holds, both with "B" standing for
// the folder's base name.
struct InfFile {
    const wchar_t* pszName;
    const wchar_t* pszInf;
};

struct InfCase : NamedCase {
    InfPairState state;
    bool bEnableAuxMac;
    bool bWithoutWin8x64;  // the staged package lacks Windows\WIN8\64
    std::vector<InfFile> expected;
    SelectionResult result;
};

std::wstring Expand(const wchar_t* pszTemplate, const wchar_t* pszBase) {
    std::wstring text = pszTemplate;
    return text.replace(text.find(L'B'), 1, pszBase);
}

// The INF files of a folder (every file whose name begins with the base name), sorted.
std::vector<std::wstring> InfFilesIn(const std::wstring& folder, const std::wstring& base) {
    std::vector<std::wstring> out;
    for (const std::wstring& entry : ListTree(folder))
        if (entry.compare(0, base.size(), base) == 0) out.push_back(entry);
    return out;
}

const InfFile kBaseChosen[] = {{L"B.INF", L"B"}, {L"Bm_", L"Bm"}};
const InfFile kAuxChosen[] = {{L"Bm.INF", L"Bm"}, {L"B_", L"B"}};
const std::vector<InfFile> kBaseActive(std::begin(kBaseChosen), std::end(kBaseChosen));
const std::vector<InfFile> kAuxActive(std::begin(kAuxChosen), std::end(kAuxChosen));

// Both INFs active or both inactive still end with the caller's choice alone active; only a
// package without the chosen INF (or the folder) is left as it is.
const InfCase kInfCases[] = {
    {"UsualPackageOn", InfPairState::BaseActive, true, false, kBaseActive, SelectionResult::Made},
    {"UsualPackageOff", InfPairState::BaseActive, false, false, kAuxActive, SelectionResult::Made},
    {"AlreadyChosenOff", InfPairState::AuxMacActive, false, false, kAuxActive, SelectionResult::Made},
    {"OtherChosenOn", InfPairState::AuxMacActive, true, false, kBaseActive, SelectionResult::Made},
    {"BothActiveOn", InfPairState::BothActive, true, false, kBaseActive, SelectionResult::Made},
    {"BothActiveOff", InfPairState::BothActive, false, false, kAuxActive, SelectionResult::Made},
    {"BothInactiveOn", InfPairState::BothInactive, true, false, kBaseActive, SelectionResult::Made},
    {"BothInactiveOff", InfPairState::BothInactive, false, false, kAuxActive, SelectionResult::Made},
    {"NoInfFiles", InfPairState::Missing, true, false, {}, SelectionResult::NotInPackage},
    {"MissingFolderOff", InfPairState::BaseActive, false, true, kAuxActive, SelectionResult::NotInPackage},
};

class SelectAuxMacInfCase : public StagedPackageTest<::testing::TestWithParam<InfCase>> {};

}  // namespace

TEST_P(SelectAuxMacInfCase, LeavesEachPairInItsExpectedNames) {
    const InfCase& c = GetParam();
    PackageSpec spec;
    spec.infState = c.state;
    StagePackage(spec);
    if (c.bWithoutWin8x64) RemoveTree(Staged(L"Windows\\WIN8\\64"));

    EXPECT_EQ(SelectAuxMacInf(m_staging, c.bEnableAuxMac, m_engine, m_failure), c.result);
    EXPECT_FALSE(m_failure.IsSet()) << Narrow(m_failure.path);

    for (const InfFolder& folder : kInfFolders) {
        const std::wstring path = Staged(folder.pszFolder);
        if (c.bWithoutWin8x64 && std::wstring(folder.pszFolder) == L"Windows\\WIN8\\64") {
            EXPECT_FALSE(PathExists(path)) << "a missing folder must stay missing";
            continue;
        }
        std::vector<std::wstring> expected;
        for (const InfFile& file : c.expected) expected.push_back(Expand(file.pszName, folder.pszBase));
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(InfFilesIn(path, folder.pszBase), expected) << Narrow(folder.pszFolder);
        // A rename keeps the content: each name must hold the INF it stands for.
        for (const InfFile& file : c.expected) {
            const std::string content = ReadBytes(path + L"\\" + Expand(file.pszName, folder.pszBase));
            EXPECT_EQ(content.substr(0, content.find('\r')), "; INF " + Narrow(Expand(file.pszInf, folder.pszBase)))
                << Narrow(folder.pszFolder);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(InfStates, SelectAuxMacInfCase, ::testing::ValuesIn(kInfCases),
                         CaseName());

// A chosen INF under both its names cannot be activated; the other one is still deactivated.
TEST_F(StagedPackage, ChosenInfUnderBothNamesKeepsBoth) {
    StagePackage(PackageSpec{});
    const std::wstring folder = Staged(L"Windows\\WIN10\\32\\");
    WriteBytes(folder + L"kvux86w10m.INF", "; INF second copy\r\n");

    EXPECT_EQ(SelectAuxMacInf(m_staging, false, m_engine, m_failure), SelectionResult::Made);

    EXPECT_EQ(InfFilesIn(folder, L"kvux86w10"),
              (std::vector<std::wstring>{L"kvux86w10_", L"kvux86w10m.INF", L"kvux86w10m_"}));
    EXPECT_EQ(ReadBytes(folder + L"kvux86w10m.INF"), "; INF second copy\r\n");
}

namespace {

// A pair whose switch the installer would not see through: the caller's choice must not turn
// into the other INF, or into both, without the run knowing. WIN10\32 of the usual package
// (kvux86w10.INF active, kvux86w10m_ inactive) is set up so, with ENAUXMAC off.
struct StuckPairCase : NamedCase {
    const wchar_t* pszExtra;   // written into the folder first; null: none
    const wchar_t* pszHeld;    // held open without any sharing during the switch; null: none
    const wchar_t* pszFailed;  // the file the failure names
    DWORD dwError;
};

const StuckPairCase kStuckPairs[] = {
    // The other INF's inactive name is taken: renaming would leave both INFs active.
    {"OtherInfUnderBothNames", L"kvux86w10_", nullptr, L"kvux86w10.INF", ERROR_ALREADY_EXISTS},
    {"OtherInfHeldOpen", nullptr, L"kvux86w10.INF", L"kvux86w10.INF", ERROR_SHARING_VIOLATION},
    {"ChosenInfHeldOpen", nullptr, L"kvux86w10m_", L"kvux86w10m_", ERROR_SHARING_VIOLATION},
};

class StuckInfPair : public StagedPackageTest<::testing::TestWithParam<StuckPairCase>> {};

}  // namespace

TEST_P(StuckInfPair, FailsNamingTheFileAndTheError) {
    const StuckPairCase& c = GetParam();
    StagePackage(PackageSpec{});
    const std::wstring folder = Staged(L"Windows\\WIN10\\32\\");
    if (c.pszExtra) WriteBytes(folder + c.pszExtra, "; INF in the way\r\n");
    HeldOpenFile held(c.pszHeld ? folder + c.pszHeld : std::wstring());
    ASSERT_EQ(held.IsHeld(), c.pszHeld != nullptr);

    EXPECT_EQ(SelectAuxMacInf(m_staging, false, m_engine, m_failure), SelectionResult::Failed);

    EXPECT_EQ(Narrow(m_failure.step), "choose the INF of each pair");
    EXPECT_EQ(m_failure.path, folder + c.pszFailed);
    EXPECT_EQ(m_failure.dwError, c.dwError);
}

INSTANTIATE_TEST_SUITE_P(Pairs, StuckInfPair, ::testing::ValuesIn(kStuckPairs), CaseName());
