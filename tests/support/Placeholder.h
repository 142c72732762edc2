#pragma once

#include <string>

// A case table's text with a placeholder ("<log>", "<out>") standing for a path that exists only
// in the running test: the first placeholder of that name replaced by value.
inline std::wstring ReplacePlaceholder(std::wstring text, const std::wstring& name, const std::wstring& value) {
    const std::size_t pos = text.find(name);
    return pos == std::wstring::npos ? text : text.replace(pos, name.size(), value);
}
