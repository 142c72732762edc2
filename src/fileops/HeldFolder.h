#pragma once

#include <string>

#include "fileops/ScopedHandle.h"

// Opens an existing folder, never a link, so that nobody can rename, move or delete it while
// the handle is open: the handle shares reading and writing but not deletion. The files inside
// stay free to create, change and remove. Invalid when the path is not a plain folder or
// cannot be opened so.
FileHandle HoldFolder(const std::wstring& path);

// The same hold for a folder whose entries are then opened and made through the handle
// (NtRelativeOpen): traverse access only. Refused with ERROR_DIRECTORY when the path is a link
// or not a folder: what is made inside would land wherever the link's maker chose. Some
// platforms open a link's target in spite of the flag; the path's own attributes still show
// the link there.
FileHandle HoldFolderForEntries(const std::wstring& folder);

// The same hold for a folder a caller named, opened as the caller wrote it: a link in the
// caller's own path is the caller's choice and is followed. What the run then makes inside is
// made relative to this handle (NtRelativeOpen). Refused with ERROR_DIRECTORY when the path ends
// at no folder.
FileHandle HoldFolderAsNamed(const std::wstring& path);
