#pragma once

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

// What became of the machine-wide lock that lets one staged run work at a time.
enum class RunLockState {
    Opened,            // the lock object is open; nobody asked for it yet
    Taken,             // this run holds it, also when its last holder ended without releasing it
    HeldByAnotherRun,  // another run holds it
    ForeignOwner,      // an object of the lock's name that neither SYSTEM nor Administrators own
    Failed,            // the lock object can be neither made nor opened
};

struct PrivateNamespacePolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::ClosePrivateNamespace(h, 0); }
};
using PrivateNamespaceHandle = ScopedHandle<PrivateNamespacePolicy>;

// The lock object and, where it lives in one, its private namespace. Released and closed on
// destruction; a lock in any state but Opened and Taken holds no object.
class RunLock {
public:
    explicit RunLock(RunLockState state = RunLockState::Failed) noexcept : m_state(state) {}
    RunLock(PrivateNamespaceHandle privateNamespace, KernelHandle mutex) noexcept;
    ~RunLock() { Release(); }
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;

    RunLockState State() const noexcept { return m_state; }
    // Takes an opened lock when it is free or abandoned; never waits.
    void TryTake() noexcept;

private:
    void Release() noexcept;

    PrivateNamespaceHandle m_namespace;  // declared first: closed after the mutex
    KernelHandle m_mutex;
    RunLockState m_state;
};

// The program's lock, opened but not taken: in a private namespace bounded by the
// Administrators group where the platform has private namespaces, as a Global\ object
// otherwise.
RunLock OpenRunLock();
// OpenRunLock, then TryTake.
RunLock TakeRunLock();

// The Global\ form of the lock under the given name. An existing object is trusted only when
// SYSTEM or Administrators own it: anybody may make an object of that name first.
RunLock OpenGlobalRunLock(const std::wstring& name);

// The owners a lock object may have: SYSTEM and the Administrators group.
bool IsTrustedLockOwner(PSID pOwner);

// The name the Global\ form has in the program.
extern const wchar_t kGlobalRunLockName[];
