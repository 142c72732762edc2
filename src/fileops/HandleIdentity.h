#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// What an open handle says about the file or folder it holds: its attributes as the handle sees
// them (a link opened as itself carries FILE_ATTRIBUTE_REPARSE_POINT) and its file ID, the one a
// folder listing gives its entries. Both are cheap to ask for every entry of a tree.
struct HandleFacts {
    DWORD dwAttributes = 0;
    std::uint64_t ullFileId = 0;
};

// False with the thread's last error set when the handle cannot be asked.
bool ReadHandleFacts(HANDLE h, HandleFacts& facts);

// Everything the checks of an entry and the copy of a file need from its handle, asked for in one
// query: the facts, the last-write time and the name the handle holds (as ReadHandleName gives
// it). The handle needs FILE_READ_ATTRIBUTES.
struct HandleDetails {
    HandleFacts facts;
    LARGE_INTEGER lastWriteTime = {};
    std::wstring name;
};

// False with the thread's last error set when the handle cannot be asked.
bool ReadHandleDetails(HANDLE h, HandleDetails& details);

// True when details show the entry called entryName of a folder whose handle holds folderName:
// no link (opened as itself it shows as a reparse point) and no link's target (the handle would
// hold the target's name).
bool IsEntryItself(const HandleDetails& details, const std::wstring& folderName, const std::wstring& entryName);

// Which folder a handle holds, whatever its path: the serial number of its volume and its file
// ID there. Read whole (64-bit serial, 128-bit ID) where the platform gives them; else the 32-bit
// serial and the 64-bit ID, which cloned volumes may share (bWide false).
// ullListedId is the 64-bit ID a listing and HandleFacts show, which the same folder always
// shows: a folder whose listed ID differs is another, without asking for the rest.
struct FolderIdentity {
    std::uint64_t ullVolume = 0;
    std::uint64_t ullIdLow = 0;
    std::uint64_t ullIdHigh = 0;
    bool bWide = false;
    std::uint64_t ullListedId = 0;
};

// False with the thread's last error set when the handle cannot be asked either way. Some
// platforms ask the volume itself each time (half a millisecond and seven server requests under
// Wine): a walk reads it only where it must.
bool ReadFolderIdentity(HANDLE h, FolderIdentity& identity);

// True when both were read the same way and name one volume.
bool IsSameVolume(const FolderIdentity& a, const FolderIdentity& b);

// True when both name one folder. A file system that gives no usable ID (0 or all ones) tells no
// folder from another by it: such an ID matches none.
bool IsSameFolder(const FolderIdentity& a, const FolderIdentity& b);

// True when the file ID of the opened handle is the one a listing showed. A listing that gives
// no usable ID (0 or all ones, as file systems with wider IDs may) proves nothing either way and
// is taken as it is.
bool IsListedEntry(const HandleFacts& opened, std::uint64_t ullListedId);

// The name the handle holds, from the root of its volume, as the platform reports it. False with
// the thread's last error set when it cannot be read.
bool ReadHandleName(HANDLE h, std::wstring& name);

// The name an entry called entryName, opened relative to a folder whose handle holds folderName,
// must hold.
std::wstring EntryNameIn(const std::wstring& folderName, const std::wstring& entryName);

// True when the handle holds the name expected (letter case aside). Some platforms follow a link
// to a file in spite of "do not follow" and give no other sign of it: the handle then holds the
// name of the link's target.
bool HandleNameIs(HANDLE h, const std::wstring& expected);

// True when a handle opened for the entry called entryName, relative to a folder whose handle
// holds folderName, holds that entry itself (IsEntryItself, one query of the handle).
bool HoldsEntryItself(HANDLE h, const std::wstring& folderName, const std::wstring& entryName);
