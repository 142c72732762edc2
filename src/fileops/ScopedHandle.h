#pragma once

#include <windows.h>

#include <utility>

// Owns one platform handle. The policy names the value that means "no handle" and how the
// handle is released, so files, listings and processes share one wrapper.
template <class Policy>
class ScopedHandle {
public:
    ScopedHandle() noexcept : m_h(Policy::Invalid()) {}
    explicit ScopedHandle(HANDLE h) noexcept : m_h(h) {}
    ~ScopedHandle() { Reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : m_h(std::exchange(other.m_h, Policy::Invalid())) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_h = std::exchange(other.m_h, Policy::Invalid());
        }
        return *this;
    }

    bool IsValid() const noexcept { return m_h != Policy::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }
    HANDLE Get() const noexcept { return m_h; }
    HANDLE Release() noexcept { return std::exchange(m_h, Policy::Invalid()); }
    void Reset(HANDLE h = Policy::Invalid()) noexcept {
        if (IsValid()) Policy::Close(m_h);
        m_h = h;
    }

private:
    HANDLE m_h;
};

struct FileHandlePolicy {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FindHandlePolicy {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};

struct KernelHandlePolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

// Memory the system allocated with LocalAlloc and hands to the caller to free.
struct LocalMemoryPolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::LocalFree(h); }
};

struct RegistryKeyPolicy {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::RegCloseKey(static_cast<HKEY>(h)); }
};

using FileHandle = ScopedHandle<FileHandlePolicy>;      // CreateFileW
using FindHandle = ScopedHandle<FindHandlePolicy>;      // FindFirstFileW
using KernelHandle = ScopedHandle<KernelHandlePolicy>;  // processes, threads, events
using LocalMemory = ScopedHandle<LocalMemoryPolicy>;    // security descriptors from SDDL
using RegistryKey = ScopedHandle<RegistryKeyPolicy>;    // registry keys
