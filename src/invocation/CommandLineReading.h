#pragma once

#include <string>
#include <vector>

#include "invocation/RunOptions.h"

// How the parser read a command line, for the run's trace.
struct CommandLineReading {
    std::vector<std::wstring> ignored;  // arguments that changed nothing, in their order
    std::wstring refusedText;           // with a nonzero result: the text that was refused
    std::wstring refusal;               // and why
};

// "silent install", "driver extraction", ...; "none" for ModeInvalid.
const wchar_t* RunModeText(int nMode);

// One line of what the run will do: mode, FORCE, AUX MAC, the result log or "none", the driver
// folder or "none", INSTALLERCODE, LINGER's minutes, and the ignored arguments or "none".
std::wstring DescribeCommandLineReading(const RunOptions& options, const CommandLineReading& reading);

// A refusal: the text and why.
std::wstring DescribeCommandLineRefusal(const CommandLineReading& reading);
