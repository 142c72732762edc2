#include "fileops/TokenUser.h"

#include "fileops/ScopedHandle.h"

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

PSID UserSidOf(std::vector<unsigned char>& tokenUser) {
    return tokenUser.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}
