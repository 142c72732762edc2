#pragma once

#include <string>

// What the value after a keyword's "=" means. White space around a value is no part of it, and
// letters are compared without regard to case. Plain string rules, no platform calls.

enum class SwitchValue { On, Off, Neither };

// FORCE=, ENAUXMAC=, INSTALLERCODE=: TRUE, YES, ON and 1 are On; FALSE, NO, OFF and 0 are Off;
// anything else, the empty value included, is Neither.
SwitchValue ReadSwitchValue(const std::wstring& value);

// The longest wait LINGER= may ask for: one day.
constexpr int kMaxLingerMinutes = 1440;

// LINGER=: a whole number of minutes from 0 to kMaxLingerMinutes, digits only. False when the
// value is anything else.
bool ReadLingerMinutes(const std::wstring& value, int& nMinutes);
