#pragma once

#include <cstdint>
#include <string>

// A drive letter of its own with almost no room: a tiny tmpfs that a Unix shell mounts and
// links into the Wine prefix's dosdevices, filled so that only the room asked for is left.
// Unmounted and unlinked when the object goes. Where it cannot be made (not under Wine, no
// right to mount, no free letter), IsReady() is false and Reason() says why.
class SmallDrive {
public:
    // nFreePages: whole pages of file data that still fit; bNewEntries: false uses up the
    // file system's entries too, so not even an empty file or a folder can be made. folder
    // (a name, not a path; empty: none) is made at the drive's root before the room runs out.
    SmallDrive(unsigned nFreePages, bool bNewEntries, const std::string& folder = std::string());
    ~SmallDrive();
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;

    bool IsReady() const { return !m_letter.empty(); }
    const std::string& Reason() const { return m_reason; }
    // "X:" without a backslash, so paths read Root() + L"\\Logs".
    std::wstring Root() const;
    // What the drive reports as still free for data, in bytes.
    std::uint64_t FreeBytes() const;

private:
    void Remove();  // unlinks and unmounts what the constructor made

    std::string m_letter;     // lower case, as in dosdevices
    std::string m_mountPoint;  // Linux path
    std::string m_reason;
};
