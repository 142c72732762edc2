#pragma once

// True when the program, a 32-bit process, runs on 64-bit Windows (WoW64). Systems whose kernel32
// lacks the query are 32-bit.
bool IsRunningUnderWow64();
