#pragma once

#include <cstdint>
#include <string>

#include "fileops/ScopedHandle.h"

// The driver installer's own log (InstallLog.txt in the family's install folder), which the
// result log takes. Its folder may be one users can write, so it is opened relative to that folder
// while it is held, as itself (never a link's target), and a file with a second hard link is
// refused: that could be any file of the machine, which the result log would make readable.

// The log's path on this machine for the family.
std::wstring DriverInstallLogPath(bool bUsbPackage);

// What stands at the log's path at one moment: nothing, a file known by its file ID, size and
// last-write time, or something that could not be looked at. Which log is this run's is told by
// comparing two of these, never by a clock: clocks are set back and logs dated ahead.
struct DriverLogNote {
    enum class State { Absent, Present, Unknown } state = State::Absent;
    std::uint64_t ullFileId = 0;
    std::uint64_t ullSize = 0;
    std::uint64_t ullLastWrite = 0;
    unsigned long dwError = 0;  // Unknown: why
};

// True when both notes show the same file unchanged: same file ID, size and last-write time.
bool IsSameLog(const DriverLogNote& first, const DriverLogNote& second);

enum class DriverLogOpen { Opened, Absent, Refused };

// Opens the log at path for reading (bRead) or for its attributes only, as described above.
// Opened: file holds it and note says what it is. Absent: nothing there (nor its folder).
// Refused: a link, a file with more than one hard link, or one that cannot be opened; why says
// which, and note is filled as far as it could be read.
DriverLogOpen OpenDriverLog(const std::wstring& path, bool bRead, FileHandle& file, DriverLogNote& note,
                            std::wstring& why);

// What stands at path now, for comparing after the installer has ended.
DriverLogNote NoteDriverLog(const std::wstring& path);
