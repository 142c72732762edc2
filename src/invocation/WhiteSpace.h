#pragma once

// White space as the command line and the package profile understand it: the ASCII
// spaces plus the characters the platform's wide-character classification counts as space.
bool IsWhiteSpace(wchar_t ch);
