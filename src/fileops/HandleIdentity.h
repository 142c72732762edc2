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

// The serial number of the volume that holds the handle's file or folder. Some platforms ask
// the volume itself each time (half a millisecond under Wine), so a walk reads it once a folder.
bool ReadVolumeSerial(HANDLE h, DWORD& dwSerial);

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
