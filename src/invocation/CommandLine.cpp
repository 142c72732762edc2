#include "invocation/CommandLine.h"

int ParseCommandLine(RunOptions& options, int, const wchar_t* const[]) {
    options.nMode = ModeInstall;
    return 0;
}
