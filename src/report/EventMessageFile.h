#pragma once

#include <string>

// The file that holds the text of the run's Application event, as the event source registers
// it. Deployment tools delete a package's folder once the run ends, so the registered file is a
// copy of the running program (it carries the message table; Event Viewer loads it as data
// only) kept in the Windows folder's Logs, which only administrators can write.

// The registered name of the kept copy, expanded by whoever reads the event.
extern const wchar_t kKeptMessageFile[];

// Brings the kept copy up to date with the running program: written when missing or when its
// bytes differ, under a temporary name first and renamed over, never through a link. Returns
// the value to register: kKeptMessageFile when the copy holds the program's bytes, else the
// running program's own path (right as long as the package stays); empty when neither is known.
std::wstring KeepEventMessageFile();
