#pragma once

#include <string>

// The file that holds the text of the run's Application event, as the event source registers
// it: a DLL of resources only (the message table; no code, no entry point, no imports), built
// with the program and carried inside it. Deployment tools delete a package's folder once the
// run ends, so the registered file is kept in the Windows folder's Logs, which only
// administrators can write. Event Viewer loads it as data.

// The registered name of the kept file, expanded by whoever reads the event.
extern const wchar_t kKeptMessageFile[];
// The name of the RCDATA resource that carries it.
extern const wchar_t kMessageFileResource[];

// Brings the kept file up to date with the one the running module carries: written when
// missing or when its bytes differ, under a temporary name first and renamed over, never
// through a link. True when the kept file holds the carried bytes. The package's own folder is
// never the answer: the package is deleted after the run, and every event of the source, older
// ones included, would lose its text.
bool KeepEventMessageFile();

// Removes the copy of the whole program that earlier versions kept as the message file, once
// the registration no longer names it. Best effort: a copy that cannot go stays for a later run.
void RemoveRetiredMessageFile();
