// The lock of staged runs at the functions, under names of the test's own. Wine has no private
// namespaces (CreateBoundaryDescriptorW gives no descriptor), so the Global\ form is the one
// the program takes here; Wine keeps a kernel object's owner as its creator set it.
#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "run/RunLock.h"
#include "support/NamedCase.h"

namespace {

std::wstring TestLockName(const char* pszCase) {
    return L"Global\\NicUpdateTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::wstring(pszCase, pszCase + std::strlen(pszCase));
}

std::wstring OwnerText(HANDLE hObject) {
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (GetSecurityInfo(hObject, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, nullptr, nullptr, nullptr,
                        &pDescriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    LocalMemory descriptor(pDescriptor);
    LPWSTR pszSid = nullptr;
    if (!ConvertSidToStringSidW(pOwner, &pszSid)) return L"(unreadable)";
    LocalMemory text(pszSid);
    return pszSid;
}

std::wstring TokenUserSid() {
    KernelHandle token;
    HANDLE hToken = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) token.Reset(hToken);
    BYTE buffer[256] = {};
    DWORD cb = 0;
    LPWSTR pszSid = nullptr;
    if (!token || !GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &cb) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &pszSid))
        return L"";
    LocalMemory text(pszSid);
    return pszSid;
}

// A mutex of the lock's name that someone else made first, with the owner they chose.
struct OwnerCase : NamedCase {
    const wchar_t* pszOwner;  // SDDL owner; "<user>" for the test's own user account
    RunLockState expected;
};

class LockMadeBySomeoneElse : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(LockMadeBySomeoneElse, IsTrustedOnlyWhenSystemOrAdministratorsOwnIt) {
    const OwnerCase& c = GetParam();
    const std::wstring name = TestLockName(c.pszName);
    std::wstring owner = c.pszOwner == std::wstring(L"<user>") ? TokenUserSid() : c.pszOwner;
    ASSERT_FALSE(owner.empty());
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:" + owner + L"D:(A;;GA;;;WD)").c_str(),
                                                                     SDDL_REVISION_1, &pDescriptor, nullptr));
    LocalMemory descriptor(pDescriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, pDescriptor, FALSE};
    KernelHandle theirs(CreateMutexW(&attributes, FALSE, name.c_str()));
    ASSERT_TRUE(theirs.IsValid());
    PSID pExpectedOwner = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(owner.c_str(), &pExpectedOwner));
    LocalMemory expectedOwner(pExpectedOwner);
    LPWSTR pszExpected = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(pExpectedOwner, &pszExpected));
    LocalMemory expectedText(pszExpected);
    ASSERT_EQ(OwnerText(theirs.Get()), std::wstring(pszExpected)) << "the object does not carry the owner it was made with";

    RunLock lock = OpenGlobalRunLock(name);

    EXPECT_EQ(lock.State(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, LockMadeBySomeoneElse,
    ::testing::Values(OwnerCase{"LocalSystem", L"SY", RunLockState::Opened},
                      OwnerCase{"Administrators", L"BA", RunLockState::Opened},
                      OwnerCase{"Everyone", L"WD", RunLockState::ForeignOwner},
                      OwnerCase{"Users", L"BU", RunLockState::ForeignOwner},
                      OwnerCase{"TheUserAccount", L"<user>", RunLockState::ForeignOwner}),
    CaseName());

TEST(RunLockObject, ThatTheLockMakesIsTrustedByTheNextRun) {
    const std::wstring name = TestLockName("OwnObject");
    RunLock first = OpenGlobalRunLock(name);
    ASSERT_EQ(first.State(), RunLockState::Opened);

    EXPECT_EQ(OpenGlobalRunLock(name).State(), RunLockState::Opened);
}

TEST(RunLockObject, OfAnotherKindIsNoLock) {
    const std::wstring name = TestLockName("Event");
    KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(event.IsValid());

    EXPECT_EQ(OpenGlobalRunLock(name).State(), RunLockState::Failed);
}

// What the lock's earlier holder, another thread standing for another run, did with it.
enum class Holder { KeepsIt, ReleasedIt, EndedWithoutReleasing };

struct HolderCase : NamedCase {
    Holder holder;
    RunLockState expected;
};

class RunLockHeldBefore : public ::testing::TestWithParam<HolderCase> {};

TEST_P(RunLockHeldBefore, IsTakenUnlessItsHolderStillHoldsIt) {
    const HolderCase& c = GetParam();
    const std::wstring name = TestLockName(c.pszName);
    KernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    KernelHandle taken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    RunLock leftBehind;  // outlives the holder thread, so the object does too
    RunLockState holderState = RunLockState::Failed;
    std::thread holder([&] {
        RunLock lock = OpenGlobalRunLock(name);
        lock.TryTake();
        holderState = lock.State();
        if (c.holder == Holder::EndedWithoutReleasing) {
            // The handle stays open in the test; the thread that owns the mutex ends.
            leftBehind = std::move(lock);
            SetEvent(taken.Get());
            return;
        }
        if (c.holder == Holder::ReleasedIt) lock = RunLock();
        SetEvent(taken.Get());
        WaitForSingleObject(done.Get(), 10000);
    });
    WaitForSingleObject(taken.Get(), 10000);
    if (c.holder == Holder::EndedWithoutReleasing) holder.join();

    RunLock lock = OpenGlobalRunLock(name);
    lock.TryTake();

    EXPECT_EQ(holderState, RunLockState::Taken);
    EXPECT_EQ(lock.State(), c.expected);
    SetEvent(done.Get());
    if (holder.joinable()) holder.join();
}

INSTANTIATE_TEST_SUITE_P(
    Holders, RunLockHeldBefore,
    ::testing::Values(HolderCase{"KeepsIt", Holder::KeepsIt, RunLockState::HeldByAnotherRun},
                      HolderCase{"ReleasedIt", Holder::ReleasedIt, RunLockState::Taken},
                      HolderCase{"EndedWithoutReleasing", Holder::EndedWithoutReleasing, RunLockState::Taken}),
    CaseName());

}  // namespace
