// Creates below a held folder, seen at the native calls: what every create asks the platform
// for, and what follows when the handle it gets holds another entry than the one meant. On NTFS
// a create that follows a dangling link makes the link's missing target wherever it points;
// Wine's create never follows one (it fails as a collision), so only a stand-in can show it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/HeldFolder.h"
#include "fileops/NtCalls.h"
#include "fileops/NtRelativeOpen.h"
#include "invocation/RunOptions.h"
#include "package/ResultCodes.h"
#include "run/ResultLog.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

constexpr ULONG kNativeCreate = 2;      // FILE_CREATE
constexpr ULONG kNativeOpenIf = 3;      // FILE_OPEN_IF
constexpr ULONG kObjDontReparse = 0x1000;
constexpr ULONG kFileAllInformation = 18;
constexpr std::size_t kAllInformationAttributes = 32;  // offset of the basic part's attributes
constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);

// What the stand-in does to a create of a new file.
enum class Twist {
    None,
    AnotherEntry,  // the handle holds another entry of the folder, as a followed link's target would
    ShowsAsALink,  // the handle reports itself a reparse point
    Refused,       // the create fails with access denied
    FolderAppears  // a folder tree takes the name "run.log" as the folder that will hold it is made
};

struct SeenCreate {
    std::wstring name;
    ULONG ulDisposition;
    ULONG ulOptions;
    ULONG ulObjectFlags;
};

Twist g_twist = Twist::None;
std::vector<SeenCreate> g_creates;
std::wstring g_plantIn;  // FolderAppears: the folder whose making plants the tree

const wchar_t kElsewhere[] = L"elsewhere.txt";

LONG WINAPI StandInCreate(PHANDLE phFile, ACCESS_MASK dwAccess, POBJECT_ATTRIBUTES pAttributes,
                          PIO_STATUS_BLOCK pStatus, PLARGE_INTEGER pSize, ULONG ulAttributes, ULONG ulShare,
                          ULONG ulDisposition, ULONG ulOptions, PVOID pEa, ULONG cbEa) {
    const std::wstring name(pAttributes->ObjectName->Buffer, pAttributes->ObjectName->Length / sizeof(wchar_t));
    g_creates.push_back({name, ulDisposition, ulOptions, pAttributes->Attributes});
    const NtCalls& platform = PlatformNt();
    if (ulDisposition == kNativeCreate && g_twist == Twist::Refused) return kStatusAccessDenied;
    if (ulDisposition == kNativeCreate && g_twist == Twist::AnotherEntry) {
        UNICODE_STRING other;
        other.Buffer = const_cast<PWSTR>(kElsewhere);
        other.Length = other.MaximumLength = static_cast<USHORT>(wcslen(kElsewhere) * sizeof(wchar_t));
        OBJECT_ATTRIBUTES redirected = *pAttributes;
        redirected.ObjectName = &other;
        return platform.pfnCreateFile(phFile, dwAccess, &redirected, pStatus, pSize, ulAttributes, ulShare,
                                      ulDisposition, ulOptions, pEa, cbEa);
    }
    const LONG lStatus = platform.pfnCreateFile(phFile, dwAccess, pAttributes, pStatus, pSize, ulAttributes, ulShare,
                                                ulDisposition, ulOptions, pEa, cbEa);
    if (g_twist == Twist::FolderAppears && ulDisposition == kNativeOpenIf && lStatus >= 0 && !g_plantIn.empty()) {
        WriteBytes(g_plantIn + L"\\run.log\\inside\\keep.txt", "must survive");
        g_plantIn.clear();
    }
    return lStatus;
}

LONG WINAPI StandInQuery(HANDLE hFile, PIO_STATUS_BLOCK pStatus, PVOID pInfo, ULONG cbInfo, ULONG ulClass) {
    const LONG lStatus = PlatformNt().pfnQueryInformationFile(hFile, pStatus, pInfo, cbInfo, ulClass);
    if (g_twist == Twist::ShowsAsALink && ulClass == kFileAllInformation && lStatus >= 0) {
        ULONG ulFileAttributes = 0;
        auto* pAttributes = static_cast<unsigned char*>(pInfo) + kAllInformationAttributes;
        std::memcpy(&ulFileAttributes, pAttributes, sizeof ulFileAttributes);
        ulFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        std::memcpy(pAttributes, &ulFileAttributes, sizeof ulFileAttributes);
    }
    return lStatus;
}

class CreateBelowAHeldFolder : public ::testing::Test {
protected:
    void SetUp() override {
        g_twist = Twist::None;
        g_creates.clear();
        NtCalls calls = PlatformNt();
        calls.pfnCreateFile = &StandInCreate;
        calls.pfnQueryInformationFile = &StandInQuery;
        m_standIn = std::make_unique<CNtCallsStandIn>(calls);
        MakeFolders(temp / L"held");
        m_held = HoldFolderForEntries(temp / L"held");
        ASSERT_TRUE(m_held);
    }
    void TearDown() override { g_twist = Twist::None; }

    TempFolder temp;
    std::unique_ptr<CNtCallsStandIn> m_standIn;
    FileHandle m_held;
};

TEST_F(CreateBelowAHeldFolder, OpensWhatItMakesAsItselfAndFollowsNoReparsePoint) {
    FileHandle made;

    ASSERT_EQ(CreateNewRelative(m_held.Get(), L"new.txt", FILE_WRITE_DATA, 0, made), DWORD{ERROR_SUCCESS});

    ASSERT_EQ(g_creates.size(), 1u);
    const SeenCreate& create = g_creates.back();
    EXPECT_EQ(create.name, L"new.txt");
    EXPECT_EQ(create.ulDisposition, kNativeCreate);
    EXPECT_EQ(create.ulOptions & (FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE),
              ULONG{FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE});
    // Wine takes the flag (and has no reparse point to refuse); so do current Windows versions.
    EXPECT_EQ(create.ulObjectFlags & kObjDontReparse, kObjDontReparse);
    EXPECT_TRUE(made);
    EXPECT_EQ(ListTree(temp / L"held"), std::vector<std::wstring>{L"new.txt"});
}

struct TwistCase : NamedCase {
    Twist twist;
    ACCESS_MASK dwAccess;
    DWORD dwShare;
};

class CreateWhoseHandleHoldsAnotherEntry : public CreateBelowAHeldFolder,
                                           public ::testing::WithParamInterface<TwistCase> {};

TEST_P(CreateWhoseHandleHoldsAnotherEntry, IsRefusedAndWhatItMadeIsRemoved) {
    g_twist = GetParam().twist;
    FileHandle made;

    const DWORD dwError = CreateNewRelative(m_held.Get(), L"new.txt", GetParam().dwAccess, GetParam().dwShare, made);

    EXPECT_EQ(dwError, DWORD{ERROR_FILE_INVALID});
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_INVALID});
    EXPECT_FALSE(made);
    EXPECT_TRUE(ListTree(temp / L"held").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Create, CreateWhoseHandleHoldsAnotherEntry,
    ::testing::Values(
        TwistCase{"AnotherEntryThroughItsOwnHandle", Twist::AnotherEntry, FILE_WRITE_DATA | DELETE, FILE_SHARE_READ},
        // Without DELETE the entry goes through a handle opened from the made one.
        TwistCase{"AnotherEntryThroughAReopenedHandle", Twist::AnotherEntry, FILE_APPEND_DATA,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
        TwistCase{"ALinkOpenedAsItself", Twist::ShowsAsALink, FILE_WRITE_DATA | DELETE, FILE_SHARE_READ}),
    CaseName());

TEST_F(CreateBelowAHeldFolder, CopyStopsAtATargetFileThatIsNotItselfAndNamesIt) {
    WriteBytes(temp / L"source\\a.txt", "a");
    MakeFolders(temp / L"target");
    g_twist = Twist::AnotherEntry;
    CFileOpEngine engine;

    EXPECT_FALSE(engine.Copy(temp / L"source", temp / L"target"));

    EXPECT_EQ(engine.GetLastErrorCause(), std::uint32_t{ERROR_FILE_INVALID});
    EXPECT_EQ(engine.GetLastErrorPath(), temp / L"target\\source\\a.txt");
    EXPECT_EQ(ListTree(temp / L"target"), std::vector<std::wstring>{L"source\\"});
}

// The result log: a create that fails names its own step and error, whether or not something
// stood at the name; what stands there is removed only when it is a file or a link.
struct LogCase : NamedCase {
    Twist twist;
    const wchar_t* pszLog;  // below the temporary folder
    const wchar_t* pszStep;
    DWORD dwError;
};

class ResultLogCreate : public CreateBelowAHeldFolder, public ::testing::WithParamInterface<LogCase> {};

TEST_P(ResultLogCreate, FailsWithItsOwnStepAndErrorAndRemovesNoFolder) {
    const LogCase& c = GetParam();
    const std::wstring log = temp / c.pszLog;
    auto options = std::make_unique<RunOptions>();
    wcscpy_s(options->szLogFile, log.c_str());
    g_twist = c.twist;
    g_plantIn = temp / L"new";
    CFileOpEngine engine(true);
    StepFailure failure;
    FileHandle hLog;
    DriverLogTaking driverLog;

    EXPECT_EQ(PrepareResultLog(hLog, *options, engine, true, driverLog, failure), kResultCannotCreateLog);

    EXPECT_FALSE(hLog);
    EXPECT_EQ(failure.step, c.pszStep);
    EXPECT_EQ(failure.path, log);
    EXPECT_EQ(failure.dwError, c.dwError);
    if (c.twist == Twist::FolderAppears) {
        EXPECT_EQ(ReadBytes(log + L"\\inside\\keep.txt"), "must survive");
    } else {
        EXPECT_FALSE(PathExists(log));
        EXPECT_FALSE(PathExists(temp / L"held\\elsewhere.txt"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Log, ResultLogCreate,
    ::testing::Values(
        LogCase{"RefusedWhereNoOldLogWas", Twist::Refused, L"held\\run.log", L"create the result log",
                ERROR_ACCESS_DENIED},
        LogCase{"HandleHoldsAnotherEntry", Twist::AnotherEntry, L"held\\run.log", L"create the result log",
                ERROR_FILE_INVALID},
        // ERROR_DIRECTORY_NOT_SUPPORTED: the folder that took the name after the look stays.
        LogCase{"FolderTakesTheNameAfterTheLook", Twist::FolderAppears, L"new\\run.log",
                L"remove the old result log", 336}),
    CaseName());

}  // namespace
