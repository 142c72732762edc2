#include "faults/FolderLink.h"

#include <windows.h>

#include "support/FileUtil.h"
#include "support/UnixShell.h"

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

FolderLink::FolderLink(const std::wstring& link, const std::wstring& target, bool bToFolder)
    : m_link(link), m_bToFolder(bToFolder) {
    // Without -T, ln would make the link inside a folder at that name, and on Windows the call
    // fails: either way the test would not get the link it names.
    if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
        m_reason = Narrow(link) + " exists already";
        return;
    }
    if (!IsRunningUnderWine()) {
        if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), bToFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0))
            m_reason = "CreateSymbolicLinkW failed with " + std::to_string(GetLastError()) +
                       " (it needs the right to create symbolic links)";
        return;
    }
    // Wine 8's CreateSymbolicLinkW reports success and makes nothing: the Linux side makes it.
    m_unixLink = UnixPathOf(link);
    const std::string unixTarget = UnixPathOf(target);
    if (m_unixLink.empty() || unixTarget.empty()) {
        m_reason = "no Linux path for " + Narrow(link) + " or " + Narrow(target);
        return;
    }
    UnixScriptOutcome outcome = RunUnixScript("ln -s -T " + Quoted(unixTarget) + " " + Quoted(m_unixLink) + "\n");
    if (!outcome.bRan || outcome.nExitStatus != 0) {
        m_reason = "ln -s failed: " + outcome.output;
        m_unixLink.clear();
    }
}

FolderLink::~FolderLink() {
    if (!IsMade()) return;
    if (m_unixLink.empty()) {
        // Windows removes the link, not its target.
        if (m_bToFolder)
            RemoveDirectoryW(m_link.c_str());
        else
            DeleteFileW(m_link.c_str());
    } else {
        // rm never follows the link; "-f": the run under test may have removed it already.
        RunUnixScript("rm -f " + Quoted(m_unixLink) + "\n");
    }
}
