#pragma once

#include <windows.h>

#include <string>

// Whose a leftover that someone holds open is. An installer of an earlier run of this program
// holds its staging folder, and every run creates that folder as SYSTEM or as an elevated
// administrator (owner: the Administrators group, or the account itself). A folder that
// anybody else owns is someone else's: no installer of ours is at work in it.
//
// Reads the owner of the object hObject holds (READ_CONTROL) through the native call, so a test
// can stand in for it. True when it is SYSTEM, the Administrators group or the account this
// process runs as. Otherwise false with ownerText naming the owner ("DOMAIN\name (S-1-...)", or
// the SID alone), or saying that it could not be read: an owner nobody can read shows nothing of
// ours either.
bool IsOwnedByThisProgramsAccounts(HANDLE hObject, std::wstring& ownerText);
