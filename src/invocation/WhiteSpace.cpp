#include "invocation/WhiteSpace.h"

bool IsWhiteSpace(wchar_t ch) {
    // The runtime's iswspace: its character table below 0x100 (which, unlike GetStringTypeW,
    // leaves out U+0085), then the C1_SPACE class of the Unicode space separators.
    switch (ch) {
        case L'\t':
        case L'\n':
        case L'\v':
        case L'\f':
        case L'\r':
        case L' ':
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return ch >= 0x2000 && ch <= 0x200A;
    }
}
