#pragma once

#include <string>

// True when the profile bytes hold the whole, case-sensitive word "USB". The first two bytes
// choose the decoding: FF FE little-endian UTF-16, FE FF big-endian UTF-16 (marks dropped),
// anything else single-byte text.
bool ProfileNamesUsb(const std::string& bytes);

// Reads Windows\setup.ini beside the program's own file; every failure gives false.
bool ReadPackageProfile();
