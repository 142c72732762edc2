#include "invocation/KeywordValue.h"

#include "invocation/WhiteSpace.h"

namespace {

std::wstring Trimmed(const std::wstring& value) {
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && IsWhiteSpace(value[begin])) ++begin;
    while (end > begin && IsWhiteSpace(value[end - 1])) --end;
    return value.substr(begin, end - begin);
}

// Only a-z change: a letter beyond ASCII is never one of the words.
std::wstring UpperAscii(std::wstring text) {
    for (wchar_t& ch : text)
        if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - L'a' + L'A');
    return text;
}

}  // namespace

SwitchValue ReadSwitchValue(const std::wstring& value) {
    const std::wstring word = UpperAscii(Trimmed(value));
    for (const wchar_t* pszOn : {L"TRUE", L"YES", L"ON", L"1"})
        if (word == pszOn) return SwitchValue::On;
    for (const wchar_t* pszOff : {L"FALSE", L"NO", L"OFF", L"0"})
        if (word == pszOff) return SwitchValue::Off;
    return SwitchValue::Neither;
}

bool ReadLingerMinutes(const std::wstring& value, int& nMinutes) {
    const std::wstring digits = Trimmed(value);
    if (digits.empty()) return false;
    int nValue = 0;
    for (wchar_t ch : digits) {
        if (ch < L'0' || ch > L'9') return false;
        nValue = nValue * 10 + (ch - L'0');
        // Stops before the number can outgrow an int, however many digits follow.
        if (nValue > kMaxLingerMinutes) return false;
    }
    nMinutes = nValue;
    return true;
}
