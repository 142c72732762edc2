#pragma once

#include <string>
#include <vector>

// Plain string rules over backslash paths; no platform calls.

void EnsureTrailingBackslash(std::wstring& path);

// A folder path as it is opened: without trailing backslashes, except that a drive's root keeps
// its own ("C:\a\" gives "C:\a", "C:\" stays).
std::wstring FolderAsOpened(std::wstring path);

// name inside folder: one backslash between them, none added after a folder that ends in one
// ("C:\" and "a" give "C:\a").
std::wstring JoinedPath(const std::wstring& folder, const std::wstring& name);

// The folder name of a search pattern ("C:\pkg\Windows\*.*" gives "Windows"), or empty.
std::wstring LastFolderName(std::wstring pattern);

// Equal when compared without regard to letter case.
bool SamePathText(const std::wstring& first, const std::wstring& second);

// True when target names folder itself or a path below it: it equals folder, or continues it
// right after a backslash (letter case ignored). "C:\data2" does not lie inside "C:\data".
bool LiesInside(const std::wstring& target, const std::wstring& folder);

// The folder that holds path's last component, in the form it is opened ("C:\a\b" gives
// "C:\a", "C:\a" gives "C:\", a bare "a" gives "."), and that component. Trailing and doubled
// separators ("\" or "/") are left out; name is empty when path has no last component.
void SplitParentAndName(const std::wstring& path, std::wstring& parent, std::wstring& name);

// True when path begins with ".\" or "..\" and is therefore taken relative to the program's
// folder. Every other path, absolute or relative, is used as given.
bool IsModuleRelative(const std::wstring& path);

// moduleFolder (drive and folder, ending in "\") followed by path without its leading "." and
// "\" characters: ".\logs\a.txt" and "..\logs\a.txt" both give moduleFolder + "logs\a.txt".
std::wstring JoinModuleRelative(const std::wstring& moduleFolder, const std::wstring& path);

// A full path's root as it is opened as given ("C:\", "\\server\share\", and the same behind
// "\\?\" or "\\?\UNC\") and the components below it, in order. False when the path has no such
// root, or a component is "." or ".." (a full path has none left).
bool SplitRootAndComponents(const std::wstring& fullPath, std::wstring& root, std::vector<std::wstring>& components);
