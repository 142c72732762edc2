#pragma once

#include <string>

#include "fileops/ScopedHandle.h"

// The Windows folder's Logs, where the run's trace and its event's message file live: only
// administrators can write there. Made with administrators-only rights when missing, then held
// (HoldFolderForEntries) so that entries are opened and made through its handle while nobody can
// move it or put a link in its place.
struct LogsFolder {
    FileHandle hFolder;
    std::wstring path;        // as the platform reports the Windows folder, with "\Logs"
    std::wstring handleName;  // the name its handle holds (ReadHandleName), for EntryNameIn
};

// False when the folder is a link, is no folder, or cannot be made or held. Some platforms open
// a link's target in spite of the flag: the handle's name shows it then.
bool HoldLogsFolder(LogsFolder& logs);
