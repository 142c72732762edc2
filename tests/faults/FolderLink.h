#pragma once

#include <string>

// A symbolic link to a folder (or, with bToFolder false, to a file), made for one test; when the
// object goes, only the link is removed, never what it points to. Where it cannot be made (a
// path that exists already included), IsMade() is false and Reason() says why.
class FolderLink {
public:
    FolderLink(const std::wstring& link, const std::wstring& target, bool bToFolder = true);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;

    bool IsMade() const { return m_reason.empty(); }
    const std::string& Reason() const { return m_reason; }

private:
    std::wstring m_link;
    bool m_bToFolder;
    std::string m_unixLink;  // under Wine: the link's Linux path
    std::string m_reason;
};
