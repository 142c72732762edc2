#pragma once

#include <cstddef>
#include <string>

// Reads the program's own file name and splits it into drive and folder (the folder begins
// and ends with a backslash). Returns 0, 9 when the name cannot be read, or the splitter's
// error number when a part does not fit its buffer.
int SplitModulePath(wchar_t* fileName, std::size_t cchFileName, wchar_t* drive,
                    std::size_t cchDrive, wchar_t* folder, std::size_t cchFolder);

// Rewrites a path that begins with ".\" or "..\" to lie under the program's folder. Returns 0, or the
// nonzero result of SplitModulePath and leaves the path unchanged.
int ResolveModuleRelative(std::wstring& path);
