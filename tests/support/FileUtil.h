#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/Narrow.h"  // the tests' messages use it throughout

// Small file helpers for tests. Paths are Windows paths.
void WriteBytes(const std::wstring& path, const std::string& bytes);  // creates parent folders
std::string ReadBytes(const std::wstring& path);                      // throws if unreadable
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
void MakeFolders(const std::wstring& path);
void SetReadOnly(const std::wstring& path, bool bReadOnly);

// Every file and folder below root as relative paths, sorted, folders ending in "\".
std::vector<std::wstring> ListTree(const std::wstring& root);
// How many files (not folders) the tree below root holds; 0 when root is missing.
std::size_t CountFiles(const std::wstring& root);
// A digest over names and contents of the tree below root: equal digests mean equal trees.
std::string TreeDigest(const std::wstring& root);
