#pragma once

#include <string>

// Removes a link (a junction, a symbolic link, a mount point) itself, never what it points to.
// Refuses, with ERROR_NOT_A_REPARSE_POINT as the thread's last error, when the platform opens
// the link's target instead of the link. Returns false with the thread's last error set.
bool RemoveLinkItself(const std::wstring& path);
