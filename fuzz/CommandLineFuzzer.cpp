// libFuzzer target for the command-line parser, built natively (see scripts/fuzz).
//
// Input: the first byte chooses how the rest becomes the argument vector after the program name.
//   0  one character per byte;
//   1  one character per pair of bytes, low byte first (a UTF-16 code unit, as on Windows);
//   2  one character per byte, where 0x01 n c stands for n + 1 copies of c (long arguments).
// A zero character separates arguments, so "a\0\0b" gives [a] [] [b]; no bytes give no arguments.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "invocation/CommandLine.h"

namespace {

enum InputMode : std::uint8_t { kBytes = 0, kUtf16 = 1, kBytesWithRepeats = 2, kModeCount = 3 };

std::vector<std::wstring> SplitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> args;
    if (size == 0) return args;
    const auto mode = static_cast<InputMode>(data[0] % kModeCount);
    std::wstring current;
    bool bAny = false;
    for (std::size_t i = 1; i < size;) {
        wchar_t ch = 0;
        std::size_t repeat = 1;
        if (mode == kUtf16) {
            ch = static_cast<wchar_t>(data[i] | (i + 1 < size ? data[i + 1] << 8 : 0));
            i += 2;
        } else if (mode == kBytesWithRepeats && data[i] == 0x01 && i + 2 < size) {
            repeat = static_cast<std::size_t>(data[i + 1]) + 1;
            ch = static_cast<wchar_t>(data[i + 2]);
            i += 3;
        } else {
            ch = static_cast<wchar_t>(data[i]);
            i += 1;
        }
        bAny = true;
        if (ch == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.append(repeat, ch);
        }
    }
    if (bAny) args.push_back(current);
    return args;
}

void Require(bool bHolds, const char* what) {
    if (!bHolds) {
        std::fprintf(stderr, "contract violated: %s\n", what);
        std::abort();
    }
}

bool IsTerminated(const wchar_t (&field)[kMaxPathChars]) {
    return std::wmemchr(field, L'\0', kMaxPathChars) != nullptr;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> args = SplitArguments(data, size);

    // Exactly argc entries and the closing null, so reading past the vector is an overflow.
    const std::size_t argc = args.size() + 1;
    std::unique_ptr<const wchar_t*[]> argv(new const wchar_t*[argc + 1]);
    argv[0] = L"NicUpdate.exe";
    for (std::size_t i = 0; i < args.size(); ++i) argv[i + 1] = args[i].c_str();
    argv[argc] = nullptr;

    std::unique_ptr<RunOptions> options(new RunOptions());  // zero-filled, as the run allocates it
    const int nResult = ParseCommandLine(*options, static_cast<int>(argc), argv.get());

    Require(nResult == 0 || nResult == 1 || nResult == 3, "result is 0, 1 or 3");
    Require(options->nMode >= ModeInvalid && options->nMode <= ModeExtractDrivers, "nMode is a RunMode");
    Require((options->nMode == ModeInvalid) == (nResult != 0), "ModeInvalid exactly with a nonzero result");
    Require(IsTerminated(options->szTargetPath), "szTargetPath terminated within its field");
    Require(IsTerminated(options->szDriverPath), "szDriverPath terminated within its field");
    Require(IsTerminated(options->szLogFile), "szLogFile terminated within its field");
    // Only EXTRACTDRIVERS writes the driver path, and always with its suffix.
    const std::wstring driverPath = options->szDriverPath;
    if (!driverPath.empty()) {
        Require(driverPath.size() > std::wcslen(L"\\production"), "extraction names a folder");
        Require(EndsWith(driverPath, L"\\production"), "extraction folder ends with \\production");
    }
    if (options->nMode == ModeExtractDrivers) Require(!driverPath.empty(), "extraction mode has its folder");
    Require(options->nLingerMinutes >= 0 && options->nLingerMinutes <= 1440, "LINGER within 0 to 1440 minutes");
    // A driver folder never turns into an install.
    if (nResult == 0 && !driverPath.empty())
        Require(options->nMode != ModeSilentInstall && options->nMode != ModeInstall, "no install with a driver folder");
    return 0;
}
