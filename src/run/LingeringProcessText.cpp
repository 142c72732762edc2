#include "run/LingeringProcessText.h"

std::wstring LingeringProcessName(const LingeringProcess& process) {
    return (process.image.empty() ? std::wstring(L"(image name unknown)") : process.image) + L" (process id " +
           std::to_wstring(process.dwProcessId) + L")";
}

std::wstring LingeringField(const std::vector<LingeringProcess>& processes) {
    std::wstring field;
    for (const LingeringProcess& process : processes) field += (field.empty() ? L"" : L", ") + LingeringProcessName(process);
    return field;
}

std::wstring DescribeLingeringProcess(const LingeringProcess& process, const std::wstring& errorText) {
    std::wstring line = L"still running when the wait ended, left to itself: " + LingeringProcessName(process);
    switch (process.hold) {
    case LingeringProcess::Hold::TakenBack:
        return line + L"; its hold on the staging folder taken back";
    case LingeringProcess::Hold::NotTakenBack:
        return line + L"; its hold on the staging folder not taken back (Win32 error " +
               std::to_wstring(process.dwTakeBackError) + L": " + errorText + L")";
    default:
        return line + L"; it was given no hold on the staging folder";
    }
}
