#include "invocation/UsagePage.h"

const wchar_t* const kUsageLines[12] = {
    L"usage\n",
    L"/? :\n",
    L"Display command line usage help.\n",
    L"Syntax. packagename.exe /?\n",
    L"/s :\n",
    L"Execute the update package silently without user intervention.\n",
    L"Syntax. packagename.exe /s\n",
    L"/extract_all :\n",
    L"Extract all of the contents of the QVP package.\n",
    L"Syntax. packagename.exe /extract_all:<path>\n",
    L"ENAUXMAC=TRUE or ENAUXMAC=FALSE :\n",
    L"Enable AUX MAC feature or disable AUX MAC feature. USB NIC only!!!\n",
};

const wchar_t kUsageCaption[] = L"QVP tool help page";

std::wstring UsageText() {
    std::wstring text;
    for (const wchar_t* line : kUsageLines) text += line;
    return text;
}
