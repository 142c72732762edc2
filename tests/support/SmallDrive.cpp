#include "support/SmallDrive.h"

#include <windows.h>

#include "support/UnixShell.h"

namespace {

// Letters tried in turn; the link fails on a letter already taken, also by a parallel test.
constexpr char kLetters[] = "r s t u v w x y";

void Substitute(std::string& text, const std::string& name, const std::string& value) {
    for (std::size_t pos = text.find(name); pos != std::string::npos; pos = text.find(name, pos + value.size()))
        text.replace(pos, name.size(), value);
}

std::string ValueOf(const std::string& output, const std::string& key) {
    std::size_t start = output.find(key + "=");
    if (start == std::string::npos) return std::string();
    start += key.size() + 1;
    std::size_t end = output.find('\n', start);
    return output.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

SmallDrive::SmallDrive(unsigned nFreePages, bool bNewEntries, const std::string& folder) {
    if (!IsRunningUnderWine()) {
        m_reason = "a drive of its own needs Wine, whose prefix maps drive letters to Linux folders";
        return;
    }
    // One page more than asked for, taken by a filler file; with no entries left, empty files
    // use up the rest of the entries. Whatever fails after the mount is undone.
    std::string script = R"(
[ -n "$WINEPREFIX" ] || { echo 'WINEPREFIX is not set'; exit 1; }
page=$(getconf PAGESIZE) || exit 1
dir=$(mktemp -d /tmp/nicupdate-smalldrive.XXXXXX) || exit 1
mount -t tmpfs -o size=$(( (FREE_PAGES + 1) * page )),nr_inodes=ENTRIES,mode=0777 nicupdate-smalldrive "$dir" ||
    { rmdir "$dir"; exit 1; }
undo() { umount "$dir"; rmdir "$dir"; echo "$1"; exit 1; }
head -c "$page" /dev/zero >"$dir/filler" || undo 'cannot fill the drive'
[ -z 'FOLDER' ] || mkdir "$dir/FOLDER" || undo 'cannot make the folder'
if [ ENTRIES -lt 64 ]; then
    i=0
    while [ $i -lt 64 ] && touch "$dir/entry$i" 2>/dev/null; do i=$((i+1)); done
fi
for l in LETTERS; do
    if ln -s "$dir" "$WINEPREFIX/dosdevices/$l:" 2>/dev/null; then
        echo "letter=$l"; echo "dir=$dir"; exit 0
    fi
done
undo 'no free drive letter'
)";
    Substitute(script, "FREE_PAGES", std::to_string(nFreePages));
    Substitute(script, "ENTRIES", bNewEntries ? "1024" : "4");
    Substitute(script, "LETTERS", kLetters);
    Substitute(script, "FOLDER", folder);
    UnixScriptOutcome outcome = RunUnixScript(script);
    if (!outcome.bRan) {
        m_reason = "the Linux shell could not be started through Wine";
        return;
    }
    if (outcome.nExitStatus != 0) {
        m_reason = "cannot make a small drive: " + outcome.output;
        return;
    }
    m_letter = ValueOf(outcome.output, "letter");
    m_mountPoint = ValueOf(outcome.output, "dir");
    if (m_letter.size() != 1 || m_mountPoint.empty()) {
        m_letter.clear();
        m_reason = "unexpected answer from the drive set-up: " + outcome.output;
        return;
    }
    // Make sure the letter reaches the mounted file system before anyone relies on it.
    if (GetFileAttributesW((Root() + L"\\filler").c_str()) == INVALID_FILE_ATTRIBUTES) {
        m_reason = "drive " + m_letter + ": does not show the mounted file system";
        Remove();
    }
}

SmallDrive::~SmallDrive() { Remove(); }

void SmallDrive::Remove() {
    if (m_mountPoint.empty()) return;
    RunUnixScript("link=\"$WINEPREFIX/dosdevices/" + m_letter + ":\"\n"
                  "[ \"$(readlink \"$link\")\" = \"" + m_mountPoint + "\" ] && rm -f \"$link\"\n"
                  "umount -l \"" + m_mountPoint + "\"\n"
                  "rmdir \"" + m_mountPoint + "\"\n");
    m_mountPoint.clear();
    m_letter.clear();
}

std::wstring SmallDrive::Root() const {
    return m_letter.empty() ? std::wstring() : std::wstring(1, static_cast<wchar_t>(m_letter[0] - 'a' + 'A')) + L":";
}

std::uint64_t SmallDrive::FreeBytes() const {
    ULARGE_INTEGER free = {};
    if (!GetDiskFreeSpaceExW((Root() + L"\\").c_str(), &free, nullptr, nullptr)) return 0;
    return free.QuadPart;
}
