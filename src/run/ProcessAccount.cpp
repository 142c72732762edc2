#include "run/ProcessAccount.h"

#include <vector>

#include "fileops/ScopedHandle.h"

namespace {

// The token's TOKEN_USER; empty when it cannot be read.
std::vector<unsigned char> TokenUserOf(HANDLE hProcess) {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(hProcess, TOKEN_QUERY, &hToken)) return {};
    const KernelHandle token(hToken);
    DWORD cb = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &cb);
    std::vector<unsigned char> user(cb);
    if (cb == 0 || !GetTokenInformation(token.Get(), TokenUser, user.data(), cb, &cb)) return {};
    return user;
}

}  // namespace

bool RunsAsThisProcessesAccount(HANDLE hProcess) {
    std::vector<unsigned char> theirs = TokenUserOf(hProcess);
    std::vector<unsigned char> ours = TokenUserOf(GetCurrentProcess());
    if (theirs.empty() || ours.empty()) return false;
    return EqualSid(reinterpret_cast<TOKEN_USER*>(theirs.data())->User.Sid,
                    reinterpret_cast<TOKEN_USER*>(ours.data())->User.Sid) != FALSE;
}
