#pragma once

#include <string>

// True when the profile bytes hold the whole, case-sensitive word "USB". The first two bytes
// choose the decoding: FF FE little-endian UTF-16, FE FF big-endian UTF-16 (marks dropped),
// anything else single-byte text.
bool ProfileNamesUsb(const std::string& bytes);

// The profile path for the program file at modulePath: its drive and folder, then
// "Windows\setup.ini". False, with profilePath untouched, when that path would not fit 259
// characters.
bool ProfilePathFor(const std::wstring& modulePath, std::wstring& profilePath);

// Reads the profile file at path; a file that cannot be opened or read gives false.
bool ReadProfileFile(const std::wstring& path);

// Reads Windows\setup.ini beside the program's own file; every failure gives false.
bool ReadPackageProfile();
