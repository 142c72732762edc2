#pragma once

#include <memory>
#include <string>

#include "support/UnixShell.h"

// Holds the platform's first open of base\trigger on the Linux side of Wine, with a fanotify
// permission event, until a link to linkTarget stands at base\place: with bSwap, place is first
// renamed to place.away, else the link is planted at a free name. base must exist; folders
// between it and the trigger may be made by the run, and are watched from the moment it opens
// them. The link lands between what the run did before that open and whatever it does next,
// every time. readyFile (outside base: the gate's own open of a watched folder's child would
// wait on itself) is made once the gate is set, and the call returns only then. Wait() on the
// result says whether the link was made (exit status 0). Wine only.
std::unique_ptr<UnixScriptInBackground> StartOpenGate(const std::wstring& base, const std::string& trigger,
                                                      const std::string& place, bool bSwap,
                                                      const std::wstring& linkTarget, const std::wstring& readyFile);

// Plants a folder at base\place (one name) holding a file called fileName, at the first open on
// base (of base itself or of an entry in it) that the platform makes while place is missing: so
// between whatever removed place and the next thing the run does on base. With place present
// when the gate is set, the folder lands only after something removed it. Same readyFile and
// Wait() as StartOpenGate. Wine only.
std::unique_ptr<UnixScriptInBackground> StartFolderPlantGate(const std::wstring& base, const std::string& place,
                                                             const std::string& fileName,
                                                             const std::wstring& readyFile);

// The same gate with another action: at the trigger's open it runs the shell script action (its
// output is the gate's) and lets the open go on once the script has ended; the run's thread that
// opens stays held meanwhile, so whatever the script does lands inside the step that opens the
// trigger. Wine only.
std::unique_ptr<UnixScriptInBackground> StartOpenGateRunning(const std::wstring& base, const std::string& trigger,
                                                             const std::string& action, const std::wstring& readyFile);
