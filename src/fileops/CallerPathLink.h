#pragma once

#include <windows.h>

#include <string>

// Whether the run follows a link it meets on the way down a path a caller named: only a link an
// administrator made, one owned by SYSTEM, the Administrators group, TrustedInstaller or the
// run's own account. Anybody may make folders, junctions and mount points where a caller's path
// passes (the root of the system drive, by default), and a run as SYSTEM that followed theirs
// would remove and write wherever they chose.
//
// Opens the link called name in the folder hParent holds as itself (relative to that handle) and
// reads its owner and where it points through that handle. True when the run may follow it;
// otherwise false with refusal saying where it points and who owns it (or why either cannot be
// read).
bool IsLinkAnAdministratorsChoice(HANDLE hParent, const std::wstring& name, std::wstring& refusal);
