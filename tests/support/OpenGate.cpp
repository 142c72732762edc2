#include "support/OpenGate.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/FileUtil.h"

namespace {

constexpr const char* kOpenGate = R"(import ctypes, os, select, struct, subprocess, sys, time
base, trigger, place, action, canary, ready = sys.argv[1:7]
libc = ctypes.CDLL(None, use_errno=True)
libc.fanotify_mark.argtypes = [ctypes.c_int, ctypes.c_uint, ctypes.c_uint64, ctypes.c_int, ctypes.c_char_p]
FAN_CLASS_CONTENT, FAN_CLOEXEC, FAN_MARK_ADD, FAN_ALLOW = 0x4, 0x1, 0x1, 0x1
FAN_OPEN_PERM, FAN_EVENT_ON_CHILD, FAN_ONDIR, AT_FDCWD = 0x10000, 0x08000000, 0x40000000, -100
fd = libc.fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, os.O_RDONLY)
def watch(folder):
    return libc.fanotify_mark(fd, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD | FAN_ONDIR, AT_FDCWD,
                              folder.encode()) == 0
if fd < 0 or not watch(base):
    sys.exit("fanotify: " + os.strerror(ctypes.get_errno()))
open(ready, "w").close()
root = os.path.realpath(base)
target, place = os.path.join(root, trigger), os.path.join(root, place)
done = False
deadline = time.time() + 60
# Every open is answered; closing the descriptor at the end allows any that is still held.
while not done and time.time() < deadline:
    if not select.select([fd], [], [], 0.2)[0]:
        continue
    events = os.read(fd, 4096)
    offset = 0
    while offset < len(events):
        length, _, _, _, _, opened, _ = struct.unpack_from("IBBHQii", events, offset)
        path = os.readlink("/proc/self/fd/%d" % opened)
        if action == "folder":
            # Made between whatever removed place and the platform's next open on base.
            if not done and not os.path.lexists(place) and os.path.isdir(os.path.dirname(place)):
                os.mkdir(place)
                with open(os.path.join(place, canary), "w") as planted:
                    planted.write("planted by another user\n")
                done = True
        elif not done and path == target:
            if action == "run":
                subprocess.call(["sh", canary])
            else:
                if action == "swap":
                    os.rename(place, place + ".away")
                os.symlink(canary, place)
            done = True
        elif target.startswith(path + "/") and path != root:
            watch(path)  # a folder on the way to the trigger, just made by the run
        os.write(fd, struct.pack("iI", opened, FAN_ALLOW))
        os.close(opened)
        offset += length
sys.exit(0 if done else "no open of " + target)
)";

std::unique_ptr<UnixScriptInBackground> StartGate(const std::string& script, const std::wstring& readyFile) {
    auto gate = std::make_unique<UnixScriptInBackground>(script);
    for (int i = 0; i < 300 && !PathExists(readyFile); ++i) Sleep(20);
    EXPECT_TRUE(PathExists(readyFile)) << "the gate was not set: " << gate->Wait(1000).output;
    DeleteFileW(readyFile.c_str());
    return gate;
}

}  // namespace

std::unique_ptr<UnixScriptInBackground> StartOpenGate(const std::wstring& base, const std::string& trigger,
                                                      const std::string& place, bool bSwap,
                                                      const std::wstring& linkTarget, const std::wstring& readyFile) {
    return StartGate("exec python3 - '" + UnixPathOf(base) + "' '" + trigger + "' '" + place + "' " +
                         (bSwap ? "swap" : "plant") + " '" + UnixPathOf(linkTarget) + "' '" + UnixPathOf(readyFile) +
                         "' <<'EOF'\n" + kOpenGate + "EOF\n",
                     readyFile);
}

std::unique_ptr<UnixScriptInBackground> StartFolderPlantGate(const std::wstring& base, const std::string& place,
                                                             const std::string& fileName,
                                                             const std::wstring& readyFile) {
    return StartGate("exec python3 - '" + UnixPathOf(base) + "' '" + place + "' '" + place + "' folder '" + fileName +
                         "' '" + UnixPathOf(readyFile) + "' <<'EOF'\n" + kOpenGate + "EOF\n",
                     readyFile);
}

std::unique_ptr<UnixScriptInBackground> StartOpenGateRunning(const std::wstring& base, const std::string& trigger,
                                                             const std::string& action, const std::wstring& readyFile) {
    return StartGate("action=$(mktemp /tmp/nicupdate-gate-action.XXXXXX) || exit 1\n"
                     "cat >\"$action\" <<'NICUPDATE_GATE_ACTION'\n" + action + "NICUPDATE_GATE_ACTION\n"
                     "python3 - '" + UnixPathOf(base) + "' '" + trigger + "' - run \"$action\" '" +
                         UnixPathOf(readyFile) + "' <<'EOF'\n" + kOpenGate + "EOF\n"
                     "rc=$?\nrm -f \"$action\"\nexit $rc\n",
                     readyFile);
}
