#pragma once

#include <string>

// The fixed usage page: twelve lines, each ending with a line feed.
extern const wchar_t* const kUsageLines[12];
extern const wchar_t kUsageCaption[];

// The whole page as one text, the message box's text.
std::wstring UsageText();

// Writes the page to standard output, then shows it in a message box and waits for it; without
// a message box function (nobody could see the box), standard output only.
void ShowUsage(int (*pfnMessageBox)(const wchar_t* text, const wchar_t* caption, unsigned style));
