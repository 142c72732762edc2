#include "run/RunLock.h"

#include <aclapi.h>
#include <sddl.h>

#include <utility>

const wchar_t kGlobalRunLockName[] = L"Global\\KVNIC_INST_RUN";

namespace {

const wchar_t kNamespaceAlias[] = L"KVNIC_INST";
const wchar_t kNamespacedLockName[] = L"KVNIC_INST\\RUN";
// Owned by Administrators whoever of them makes it, so that a run as SYSTEM and an elevated
// administrator's run trust each other's object; nobody else has any access.
const wchar_t kLockDescriptor[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
const wchar_t kLockDescriptorWithoutOwner[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr int kNamespaceAttempts = 3;

struct BoundaryDescriptorPolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::DeleteBoundaryDescriptor(h); }
};
using BoundaryDescriptor = ScopedHandle<BoundaryDescriptorPolicy>;

LocalMemory Descriptor(const wchar_t* pszSddl) {
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(pszSddl, SDDL_REVISION_1, &pDescriptor, nullptr))
        return LocalMemory();
    return LocalMemory(pDescriptor);
}

// CreateMutexW with the lock's descriptor. A token that may not name Administrators as owner
// gets its default owner instead, which for SYSTEM and elevated administrators is one of the two.
KernelHandle CreateLockMutex(const wchar_t* pszName, bool& bExisted) {
    for (const wchar_t* pszSddl : {kLockDescriptor, kLockDescriptorWithoutOwner}) {
        LocalMemory descriptor = Descriptor(pszSddl);
        if (!descriptor) return KernelHandle();
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.Get(), FALSE};
        KernelHandle mutex(CreateMutexW(&attributes, FALSE, pszName));
        const DWORD dwError = GetLastError();
        if (mutex) {
            bExisted = dwError == ERROR_ALREADY_EXISTS;
            return mutex;
        }
        if (dwError != ERROR_INVALID_OWNER) return KernelHandle();
    }
    return KernelHandle();
}

bool HasTrustedOwner(HANDLE hObject) {
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (GetSecurityInfo(hObject, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, nullptr, nullptr, nullptr,
                        &pDescriptor) != ERROR_SUCCESS)
        return false;
    LocalMemory descriptor(pDescriptor);
    return pOwner != nullptr && IsTrustedLockOwner(pOwner);
}

RunLock OpenLockMutex(PrivateNamespaceHandle privateNamespace, const wchar_t* pszName) {
    bool bExisted = false;
    KernelHandle mutex = CreateLockMutex(pszName, bExisted);
    if (!mutex) return RunLock(RunLockState::Failed);
    if (bExisted && !HasTrustedOwner(mutex.Get())) return RunLock(RunLockState::ForeignOwner);
    return RunLock(std::move(privateNamespace), std::move(mutex));
}

// Creates the namespace, or opens it when another run made it; that run may close it between
// the two calls, hence the few attempts.
PrivateNamespaceHandle OpenLockNamespace(HANDLE hBoundary) {
    LocalMemory descriptor = Descriptor(kLockDescriptorWithoutOwner);
    if (!descriptor) return PrivateNamespaceHandle();
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.Get(), FALSE};
    for (int nAttempt = 0; nAttempt < kNamespaceAttempts; ++nAttempt) {
        PrivateNamespaceHandle created(CreatePrivateNamespaceW(&attributes, hBoundary, kNamespaceAlias));
        if (created) return created;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return PrivateNamespaceHandle();
        PrivateNamespaceHandle opened(OpenPrivateNamespaceW(hBoundary, kNamespaceAlias));
        if (opened) return opened;
    }
    return PrivateNamespaceHandle();
}

}  // namespace

RunLock::RunLock(PrivateNamespaceHandle privateNamespace, KernelHandle mutex) noexcept
    : m_namespace(std::move(privateNamespace)), m_mutex(std::move(mutex)), m_state(RunLockState::Opened) {}

RunLock::RunLock(RunLock&& other) noexcept
    : m_namespace(std::move(other.m_namespace)),
      m_mutex(std::move(other.m_mutex)),
      m_state(std::exchange(other.m_state, RunLockState::Failed)) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_mutex = std::move(other.m_mutex);
        m_namespace = std::move(other.m_namespace);
        m_state = std::exchange(other.m_state, RunLockState::Failed);
    }
    return *this;
}

void RunLock::Release() noexcept {
    if (m_state == RunLockState::Taken) ReleaseMutex(m_mutex.Get());
    m_mutex.Reset();
    m_namespace.Reset();
    m_state = RunLockState::Failed;
}

void RunLock::TryTake() noexcept {
    if (m_state != RunLockState::Opened) return;
    switch (WaitForSingleObject(m_mutex.Get(), 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder ended without releasing it: nothing holds it any more
        m_state = RunLockState::Taken;
        break;
    case WAIT_TIMEOUT:
        m_state = RunLockState::HeldByAnotherRun;
        break;
    default:
        m_state = RunLockState::Failed;
        break;
    }
}

bool IsTrustedLockOwner(PSID pOwner) {
    return IsWellKnownSid(pOwner, WinLocalSystemSid) || IsWellKnownSid(pOwner, WinBuiltinAdministratorsSid);
}

RunLock OpenGlobalRunLock(const std::wstring& name) { return OpenLockMutex(PrivateNamespaceHandle(), name.c_str()); }

RunLock OpenRunLock() {
    // Only a token with the Administrators group can make or open a namespace with this
    // boundary, so nobody else can take the lock's name first. Where the platform has no
    // private namespaces (Wine returns no descriptor) the owner-checked Global\ object stands in.
    BoundaryDescriptor boundary(CreateBoundaryDescriptorW(kNamespaceAlias, 0));
    if (!boundary) return OpenGlobalRunLock(kGlobalRunLockName);
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD cbSid = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &cbSid))
        return RunLock(RunLockState::Failed);
    HANDLE hBoundary = boundary.Release();
    const BOOL bAdded = AddSIDToBoundaryDescriptor(&hBoundary, administrators);
    boundary.Reset(hBoundary);
    if (!bAdded) return RunLock(RunLockState::Failed);

    PrivateNamespaceHandle privateNamespace = OpenLockNamespace(boundary.Get());
    if (!privateNamespace) return RunLock(RunLockState::Failed);
    return OpenLockMutex(std::move(privateNamespace), kNamespacedLockName);
}

RunLock TakeRunLock() {
    RunLock lock = OpenRunLock();
    lock.TryTake();
    return lock;
}
