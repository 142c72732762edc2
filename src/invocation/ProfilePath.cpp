#include <cstddef>

#include "invocation/PackageProfile.h"
#include "invocation/RunOptions.h"
#include "package/PackageLayout.h"

bool ProfilePathFor(const std::wstring& modulePath, std::wstring& profilePath) {
    // Drive and folder as the runtime's path splitter gives them: "X:" when the second character
    // is a colon, then everything up to and including the last backslash.
    std::size_t folderBegin = modulePath.size() >= 2 && modulePath[1] == L':' ? 2 : 0;
    std::size_t lastBackslash = modulePath.rfind(L'\\');
    std::size_t folderEnd =
        lastBackslash == std::wstring::npos || lastBackslash < folderBegin ? folderBegin : lastBackslash + 1;

    // A folder that leaves room for the file name also fits the splitter's 256-character folder.
    std::wstring path = modulePath.substr(0, folderEnd) + kWindowsFolder + L"\\" + kProfileFile;
    if (path.size() >= kMaxPathChars) return false;
    profilePath = path;
    return true;
}
