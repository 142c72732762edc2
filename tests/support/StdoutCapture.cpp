#include "support/StdoutCapture.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>

#include "support/FileUtil.h"

StdoutCapture::StdoutCapture(const std::wstring& file) : m_file(file) {
    std::fflush(stdout);
    m_nSaved = _dup(_fileno(stdout));
    int fd = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (m_nSaved < 0 || fd < 0) throw std::runtime_error("cannot capture standard output");
    _dup2(fd, _fileno(stdout));
    _close(fd);
}

StdoutCapture::~StdoutCapture() {
    std::fflush(stdout);
    _dup2(m_nSaved, _fileno(stdout));
    _close(m_nSaved);
}

std::string StdoutCapture::Text() {
    std::fflush(stdout);
    return ReadBytes(m_file);
}
