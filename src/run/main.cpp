#include <windows.h>
#include <shellapi.h>

#include "package/ResultCodes.h"
#include "run/RunUpdate.h"

// The arguments the platform passes are ignored: the run splits the full command line itself.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) return kExitFailure;
    int nResult = RunUpdate(argc, argv);
    LocalFree(argv);
    return nResult;
}
