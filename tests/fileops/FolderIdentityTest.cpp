// Which folder a handle holds, as the copy and the delete tell folders apart: the volume's 64-bit
// serial and the 128-bit file ID where the platform gives them, the 32-bit serial and the 64-bit
// ID where it does not. Wine 8 gives the wide pair for every folder here; the native call stands
// in to refuse it, as Windows 7 does, or to show a volume that shares its 32-bit serial.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/HeldFolder.h"
#include "fileops/NtCalls.h"
#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

constexpr ULONG kFileIdInformation = 59;
constexpr LONG kStatusInvalidInfoClass = static_cast<LONG>(0xC0000003);

enum class WideAnswer {
    Given,    // as the platform gives it
    Refused,  // as platforms before Windows 8 answer
    Clone,    // a folder named "clone" lies on a volume whose 32-bit serial is the one above it
};

WideAnswer g_answer = WideAnswer::Given;
int g_nWideAsked = 0;

bool HoldsFolderNamedClone(HANDLE h) {
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + MAX_PATH * 4);
    if (!GetFileInformationByHandleEx(h, FileNameInfo, buffer.data(), static_cast<DWORD>(buffer.size()))) return false;
    const auto* pInfo = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    const std::wstring name(pInfo->FileName, pInfo->FileNameLength / sizeof(wchar_t));
    return name.size() >= 6 && _wcsicmp(name.c_str() + name.size() - 6, L"\\clone") == 0;
}

LONG WINAPI StandInQuery(HANDLE hFile, PIO_STATUS_BLOCK pStatus, PVOID pInfo, ULONG cbInfo, ULONG ulClass) {
    const NtCalls& platform = PlatformNt();
    if (ulClass != kFileIdInformation) return platform.pfnQueryInformationFile(hFile, pStatus, pInfo, cbInfo, ulClass);
    ++g_nWideAsked;
    if (g_answer == WideAnswer::Refused) return kStatusInvalidInfoClass;
    const LONG lStatus = PlatformNt().pfnQueryInformationFile(hFile, pStatus, pInfo, cbInfo, ulClass);
    if (lStatus >= 0 && g_answer == WideAnswer::Clone && HoldsFolderNamedClone(hFile)) {
        // Another volume with the same low 32 bits of its serial: a clone of the one above.
        std::uint64_t ullSerial = 0;
        std::memcpy(&ullSerial, pInfo, sizeof ullSerial);
        ullSerial ^= std::uint64_t{0x5A5A5A5A} << 32;
        std::memcpy(pInfo, &ullSerial, sizeof ullSerial);
    }
    return lStatus;
}

class FolderIdentityAnswer : public ::testing::Test {
protected:
    void SetUp() override {
        g_answer = WideAnswer::Given;
        g_nWideAsked = 0;
        NtCalls calls = PlatformNt();
        calls.pfnQueryInformationFile = &StandInQuery;
        m_standIn = std::make_unique<CNtCallsStandIn>(calls);
    }
    void TearDown() override { g_answer = WideAnswer::Given; }

    TempFolder temp;
    std::unique_ptr<CNtCallsStandIn> m_standIn;
};

struct AnswerCase : NamedCase {
    WideAnswer answer;
};

class EitherIdentity : public FolderIdentityAnswer, public ::testing::WithParamInterface<AnswerCase> {};

// A copy into a folder inside its own source passes over what it made, and the delete removes a
// whole tree, whichever identity the platform gives.
TEST_P(EitherIdentity, TellsTheCopysOutputFromItsSourceAndDeletesAWholeTree) {
    g_answer = GetParam().answer;
    const std::wstring source = temp / L"source";
    WriteBytes(source + L"\\top.txt", "top");
    WriteBytes(source + L"\\a\\b\\deep.txt", "deep");
    WriteBytes(source + L"\\z\\last.txt", "last");
    const std::string before = TreeDigest(source);
    FileHandle held = HoldFolderAsNamed(source);
    ASSERT_TRUE(held);
    CFileOpEngine engine;

    engine.BeginCopy();
    FileHandle copy;
    ASSERT_TRUE(engine.MakeFolder(held.Get(), L"copy", source + L"\\copy", copy)) << Narrow(engine.GetLastErrorText());
    ASSERT_TRUE(engine.CopyContents(held.Get(), source, copy.Get(), source + L"\\copy"))
        << Narrow(engine.GetLastErrorText());
    copy.Reset();
    held.Reset();

    EXPECT_EQ(TreeDigest(source + L"\\copy"), before);
    EXPECT_GT(g_nWideAsked, 0) << "the wide identity was never asked for";

    ASSERT_TRUE(engine.Delete(temp / L"source")) << Narrow(engine.GetLastErrorText());
    EXPECT_FALSE(PathExists(source));
}

INSTANTIATE_TEST_SUITE_P(Platform, EitherIdentity,
                         ::testing::Values(AnswerCase{"WideGiven", WideAnswer::Given},
                                           AnswerCase{"WideRefused", WideAnswer::Refused}),
                         CaseName());

// A delete stays on the volume it began on: a folder below that lies on a clone of it (the same
// 32-bit serial, another 64-bit one) is a mount point the delete does not go through.
TEST_F(FolderIdentityAnswer, DeleteDoesNotEnterAVolumeThatSharesOnlyThe32BitSerial) {
    g_answer = WideAnswer::Clone;
    const std::wstring root = temp / L"root";
    WriteBytes(root + L"\\a\\clone\\on-the-clone.txt", "must survive");
    CFileOpEngine engine;

    EXPECT_FALSE(engine.Delete(root));

    EXPECT_EQ(engine.GetLastErrorCause(), static_cast<std::uint32_t>(ERROR_FILE_INVALID));
    EXPECT_EQ(engine.GetLastErrorPath(), root + L"\\a\\clone");
    EXPECT_EQ(ReadBytes(root + L"\\a\\clone\\on-the-clone.txt"), "must survive");
}

}  // namespace
