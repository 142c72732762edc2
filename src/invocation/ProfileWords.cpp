#include <cstddef>

#include "invocation/PackageProfile.h"
#include "invocation/WhiteSpace.h"

namespace {

// The longest word the scan holds; a longer word is never a match.
constexpr std::size_t kMaxWordChars = 127;
// Text modes end the file at Ctrl+Z, the single-byte mode at the byte, UTF-16 at the character.
constexpr wchar_t kEndOfText = 0x1A;

// Unicode text mode reads UTF-16 in the order its mark names and drops the mark; any other file
// is single-byte text, one character per byte. An odd last byte of a UTF-16 file is no character.
std::wstring DecodeProfile(const std::string& bytes) {
    const auto byteAt = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::wstring text;
    const bool bLittleEndian = bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE;
    const bool bBigEndian = bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF;
    if (bLittleEndian || bBigEndian) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned first = byteAt(i), second = byteAt(i + 1);
            unsigned unit = bLittleEndian ? (second << 8 | first) : (first << 8 | second);
            text.push_back(static_cast<wchar_t>(unit));
        }
    } else {
        text.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) text.push_back(static_cast<wchar_t>(byteAt(i)));
    }
    std::size_t end = text.find(kEndOfText);
    if (end != std::wstring::npos) text.erase(end);
    return text;
}

// A word is read into a zero-terminated buffer, so its text ends at its first zero character.
bool WordIsUsb(const std::wstring& text, std::size_t begin, std::size_t end) {
    if (end - begin > kMaxWordChars) return false;
    return text.compare(begin, 3, L"USB") == 0 && (end - begin == 3 || text[begin + 3] == L'\0');
}

}  // namespace

bool ProfileNamesUsb(const std::string& bytes) {
    const std::wstring text = DecodeProfile(bytes);
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsWhiteSpace(text[i])) ++i;
        std::size_t begin = i;
        while (i < text.size() && !IsWhiteSpace(text[i])) ++i;
        if (i > begin && WordIsUsb(text, begin, i)) return true;
    }
    return false;
}
