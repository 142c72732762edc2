#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The parts of the security descriptor of what h holds that what asks for (OWNER_SECURITY_INFORMATION,
// DACL_SECURITY_INFORMATION), self-relative, through the native call (NtCalls), so that a test can
// stand in for what the platform keeps. The handle needs READ_CONTROL. ERROR_SUCCESS, or the Win32
// error with the thread's last error set to it as well.
DWORD ReadSecurity(HANDLE h, SECURITY_INFORMATION what, std::vector<unsigned char>& descriptor);

// The owner of a descriptor ReadSecurity gave, or null when it names none.
PSID OwnerOf(const std::vector<unsigned char>& descriptor);

// A descriptor's DACL in the platform's string form ("D:P(A;OICI;FA;;;SY)..."; "D:NO_ACCESS_CONTROL"
// for none): protection flag and entries in their order, what two DACLs are compared by.
std::wstring DaclText(const void* pDescriptor);

// "the Win32 error <n>: <text>" for the trace, without the text's line break.
std::wstring Win32ErrorText(DWORD dwError);
