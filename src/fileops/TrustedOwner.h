#pragma once

#include <windows.h>

#include <string>

// Accounts whose folders and links the run may take as made by an administrator: SYSTEM, the
// Administrators group and the account this process runs as (every run is one of them).
bool IsThisProgramsAccount(PSID pOwner);

// The same, and the service account that owns the system's own files and links (TrustedInstaller):
// the owners of a link in a caller's path that the run follows.
bool IsAdministratorsAccount(PSID pOwner);

// "DOMAIN\name (S-1-...)", or the SID alone where it names no known account.
std::wstring AccountText(PSID pSid);
