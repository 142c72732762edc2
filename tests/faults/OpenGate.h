#pragma once

#include <memory>
#include <string>

#include "support/UnixShell.h"

// Holds the platform's first open of folder\name on the Linux side of Wine, with a fanotify
// permission event, until name has been renamed to name.away and replaced by a link to
// linkTarget: the swap lands between the making of a folder and whatever the program does next,
// every time. readyFile is made once the gate is set, and the call returns only then. Wait()
// on the result says whether the swap happened (exit status 0). Wine only.
std::unique_ptr<UnixScriptInBackground> StartOpenGate(const std::wstring& folder, const std::string& name,
                                                      const std::wstring& linkTarget, const std::wstring& readyFile);
