#pragma once

#include <windows.h>

#include <string>

#include "fileops/ScopedHandle.h"

// Opens or creates an entry of a folder through the folder's handle, so that no path is looked
// up again: the name is one component, resolved inside the folder the handle holds. The native
// calls are looked up in ntdll when first needed. Each returns ERROR_SUCCESS with the handle in
// out, or the Win32 error (the thread's last error is set to it as well).

// dwOptions: the native open options (FILE_DIRECTORY_FILE, FILE_OPEN_REPARSE_POINT, ...);
// FILE_SYNCHRONOUS_IO_NONALERT is always added, with SYNCHRONIZE access.
DWORD OpenRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare, DWORD dwOptions,
                   FileHandle& out);

// Creates a new file; fails when anything of that name exists (a link included). The file is
// made and opened as itself (FILE_OPEN_REPARSE_POINT, and OBJ_DONT_REPARSE where the platform
// takes it), and before the handle is handed out it must hold the new entry itself: no reparse
// point, and the name folderName (what the folder's handle holds) plus name. On NTFS a create
// without these would make the missing target of a dangling link at the name, wherever it points;
// under Wine such a create fails as a collision. A handle that holds anything else is refused with
// ERROR_FILE_INVALID, and what it holds, which this create made, is removed again: through the
// handle when dwAccess has DELETE, else through one opened from it, which needs dwShare to share
// deletion. FILE_READ_ATTRIBUTES is added to dwAccess for the check.
DWORD CreateNewRelative(HANDLE hFolder, const std::wstring& folderName, const std::wstring& name, ACCESS_MASK dwAccess,
                        DWORD dwShare, FileHandle& out);

// The same for a caller that does not know the name the folder's handle holds: it is read first.
DWORD CreateNewRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                        FileHandle& out);

// The folder that holds path's last component (SplitParentAndName), opened as written for opening
// that component relative to it; name receives the component. Invalid with the thread's last error
// set when the folder cannot be opened, or with ERROR_INVALID_NAME when path has no last component.
FileHandle OpenParentFolder(const std::wstring& path, std::wstring& name);

// Opens the folder called name, or creates it when there is none (a link there is opened, not
// replaced). dwOptions are added to FILE_DIRECTORY_FILE. *pbCreated, when given, says whether
// this call made the folder.
DWORD OpenOrCreateFolderRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                                 DWORD dwOptions, FileHandle& out, bool* pbCreated = nullptr);

// Creates a new folder called name, opened as itself; fails (ERROR_ALREADY_EXISTS) when anything
// of that name exists, a link included: nothing that stood there is adopted. It gets the security
// descriptor pDescriptor (none: the inherited one); dwOptions are added to FILE_DIRECTORY_FILE and
// FILE_OPEN_REPARSE_POINT (FILE_DELETE_ON_CLOSE for a folder that goes with its handle).
DWORD CreateNewFolderRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK dwAccess, DWORD dwShare,
                              FileHandle& out, DWORD dwOptions = 0, void* pDescriptor = nullptr);
