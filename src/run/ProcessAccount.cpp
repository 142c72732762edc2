#include "run/ProcessAccount.h"

#include <vector>

#include "fileops/TokenUser.h"

bool RunsAsThisProcessesAccount(HANDLE hProcess) {
    std::vector<unsigned char> theirs = TokenUserOf(hProcess);
    std::vector<unsigned char> ours = TokenUserOf(GetCurrentProcess());
    const PSID pTheirs = UserSidOf(theirs);
    const PSID pOurs = UserSidOf(ours);
    return pTheirs != nullptr && pOurs != nullptr && EqualSid(pTheirs, pOurs) != FALSE;
}
