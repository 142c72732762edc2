#pragma once

#include <cstdlib>

// The runtime's bounds-checked functions report a part that does not fit through the
// invalid-parameter handler, whose default ends the process. While an object of this class
// lives, they return their error number instead.
class CQuietInvalidParameter {
public:
    CQuietInvalidParameter() : m_pPrevious(_set_invalid_parameter_handler(&Ignore)) {}
    ~CQuietInvalidParameter() { _set_invalid_parameter_handler(m_pPrevious); }
    CQuietInvalidParameter(const CQuietInvalidParameter&) = delete;
    CQuietInvalidParameter& operator=(const CQuietInvalidParameter&) = delete;

private:
    static void Ignore(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {}

    _invalid_parameter_handler m_pPrevious;
};
