#pragma once

#include <string>

#include "invocation/CommandLineReading.h"
#include "invocation/RunOptions.h"

// Fills options from the split command line (argv[0] is the program and is skipped).
// Returns 0, 1 (mode conflict) or 3 (missing or malformed value); nonzero leaves ModeInvalid.
int ParseCommandLine(RunOptions& options, int argc, const wchar_t* const argv[], CommandLineReading& reading);
int ParseCommandLine(RunOptions& options, int argc, const wchar_t* const argv[]);

// Reads one upper-cased keyword argument; index is its position in argv. Returns 0 or 3.
int ParseKeywordArgument(RunOptions& options, std::wstring text, int index, int argc,
                         const wchar_t* const argv[]);

// True when "/s" stands anywhere on the command line: nobody is there to answer a question.
bool NamesUnattendedRun(int argc, const wchar_t* const argv[]);
