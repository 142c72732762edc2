#pragma once

#include <string>

// Sends this process's standard output to a file for the lifetime of the object, in text mode
// as a redirected standard output of a started program would be.
class StdoutCapture {
public:
    explicit StdoutCapture(const std::wstring& file);
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything written so far.
    std::string Text();

private:
    std::wstring m_file;
    int m_nSaved;
};
