#include "run/RunUpdate.h"

#include <cstdio>
#include <memory>
#include <new>

#include "invocation/CommandLine.h"
#include "run/ResultCodes.h"

int RunUpdate(int argc, wchar_t* argv[], const RunPlatform& platform) {
    int nRetCode = kResultOk;
    if (!platform.pfnIsAdminMember()) return kExitFailure;

    std::unique_ptr<RunOptions> pOptions(new (std::nothrow) RunOptions());
    if (!pOptions) {
        std::wprintf(L"\n Run Out Of Resources\n");
        return kExitFailure;
    }
    nRetCode = ParseCommandLine(*pOptions, argc, argv);
    if (nRetCode == kResultOk) nRetCode = -1;  // the modes' work is not built yet
    return nRetCode == kResultOk ? 0 : kExitFailure;
}
