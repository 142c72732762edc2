#pragma once

#include <string>

// The file that holds the text of the run's Application event, as the event source registers
// it. Deployment tools delete a package's folder once the run ends, so the registered file is a
// copy of the running program (it carries the message table; Event Viewer loads it as data
// only) kept in the Windows folder's Logs, which only administrators can write.

// The registered name of the kept copy, expanded by whoever reads the event.
extern const wchar_t kKeptMessageFile[];

// Brings the kept copy up to date with the running program: written when missing or when its
// bytes differ, under a temporary name first and renamed over, never through a link. True when
// the kept copy holds the program's bytes. The program's own path is never the answer: the
// package is deleted after the run, and every event of the source, older ones included, would
// lose its text.
bool KeepEventMessageFile();
