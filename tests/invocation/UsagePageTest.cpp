#include <gtest/gtest.h>

#include <string>

#include "invocation/UsagePage.h"
#include "support/FileUtil.h"
#include "support/ProgramRun.h"
#include "support/StdoutCapture.h"
#include "support/TempFolder.h"

namespace {

const wchar_t kPage[] =
    L"usage\n"
    L"/? :\n"
    L"Display command line usage help.\n"
    L"Syntax. packagename.exe /?\n"
    L"/s :\n"
    L"Execute the update package silently without user intervention.\n"
    L"Syntax. packagename.exe /s\n"
    L"/extract_all :\n"
    L"Extract all of the contents of the QVP package.\n"
    L"Syntax. packagename.exe /extract_all:<path>\n"
    L"ENAUXMAC=TRUE or ENAUXMAC=FALSE :\n"
    L"Enable AUX MAC feature or disable AUX MAC feature. USB NIC only!!!\n";

struct BoxCall {
    int nCalls = 0;
    std::wstring text, caption;
    unsigned style = 0xFFFF;
    std::string stdoutWhileOpen;  // what a caller reading the output had when the box came up
};

BoxCall g_box;
std::wstring g_stdoutPath;

int StandInBox(const wchar_t* text, const wchar_t* caption, unsigned style) {
    ++g_box.nCalls;
    g_box.text = text;
    g_box.caption = caption;
    g_box.style = style;
    g_box.stdoutWhileOpen = ReadBytes(g_stdoutPath);
    return 1;  // IDOK
}

// The page's twelve lines, in order, in the box and before it on standard output.
TEST(ShowUsage, PrintsThePageBeforeTheBoxShowsIt) {
    TempFolder folder;
    g_box = BoxCall();
    g_stdoutPath = folder / L"stdout.txt";
    {
        StdoutCapture capture(g_stdoutPath);
        ShowUsage(&StandInBox);
    }
    EXPECT_EQ(g_box.nCalls, 1);
    EXPECT_EQ(g_box.text, kPage);
    EXPECT_EQ(g_box.caption, L"QVP tool help page");
    EXPECT_EQ(g_box.style, 0u);  // MB_OK
    // Every line reached the output, flushed, before the box blocked the run.
    const std::string expected = ConsoleBytes(kPage);
    EXPECT_EQ(g_box.stdoutWhileOpen, expected);
    EXPECT_EQ(ReadBytes(g_stdoutPath), expected);
}

}  // namespace
