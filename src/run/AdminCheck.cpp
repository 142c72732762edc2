#include "run/AdminCheck.h"

#include <windows.h>

bool IsAdminMember() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID pAdministrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                  0, 0, 0, 0, 0, 0, &pAdministrators))
        return false;
    // Only enabled entries count, so a filtered (non-elevated) administrator token is refused.
    BOOL bMember = FALSE;
    if (!CheckTokenMembership(nullptr, pAdministrators, &bMember)) bMember = FALSE;
    FreeSid(pAdministrators);
    return bMember != FALSE;
}
