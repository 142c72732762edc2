// Takes the program's run lock and ends without releasing it, as a run that crashed would.
// Exit code 0 when it held the lock at its end, 1 otherwise. The lock object outlives this
// process only while another process has it open.
#include <windows.h>

#include "run/RunLock.h"

int wmain() {
    RunLock lock = TakeRunLock();
    // ExitProcess skips the destructor that would release the lock.
    ExitProcess(lock.State() == RunLockState::Taken ? 0 : 1);
}
