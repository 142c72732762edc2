#pragma once

// White space as the command line and the package profile understand it: blank, tab, line
// feed, vertical tab, form feed, carriage return, and the other characters the Windows runtime's
// wide-character classification (iswspace) counts as space. The rule is a fixed list, so every
// build, native or Windows, agrees on it.
bool IsWhiteSpace(wchar_t ch);
