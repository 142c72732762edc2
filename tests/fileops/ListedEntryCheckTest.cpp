// The check that a handle opened for a listed entry is that entry: the same file ID and the name
// the entry has in its folder. The swap that makes such a handle differ
// is shown through the real program in the fault tests; here each kind of difference is made
// with plain files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "fileops/FolderHandleListing.h"
#include "fileops/HandleDelete.h"
#include "fileops/HandleIdentity.h"
#include "fileops/NtRelativeOpen.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

// What happens in the folder between the listing and the open.
enum class Meanwhile { Nothing, OtherFileMovedOverIt, HardLinkMade };

struct EntryCheckCase : NamedCase {
    const wchar_t* pszListed;
    Meanwhile meanwhile;
    const wchar_t* pszOpened;
    bool bListedAsLink;     // the listing showed the entry as a link
    DWORD dwExpected;
};

class ListedEntryCheck : public ::testing::TestWithParam<EntryCheckCase> {
protected:
    TempFolder temp;
};

TEST_P(ListedEntryCheck, RefusesEveryHandleThatIsNotTheListedEntry) {
    const EntryCheckCase& c = GetParam();
    const std::wstring folder = temp / L"f";
    WriteBytes(folder + L"\\a.txt", "a");
    WriteBytes(folder + L"\\b.txt", "b");
    MakeFolders(folder + L"\\d");
    FileHandle hFolder(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(hFolder.IsValid());
    std::vector<ListedEntry> entries;
    ASSERT_EQ(ListFolderByHandle(hFolder.Get(), entries), static_cast<DWORD>(ERROR_SUCCESS));
    std::vector<std::wstring> names;
    ListedEntry listed;
    for (const ListedEntry& entry : entries) {
        names.push_back(entry.name);
        if (entry.name == c.pszListed) listed = entry;
    }
    ASSERT_EQ(names, (std::vector<std::wstring>{L"a.txt", L"b.txt", L"d"}));
    std::wstring folderName;
    ASSERT_TRUE(ReadHandleName(hFolder.Get(), folderName));

    if (c.meanwhile == Meanwhile::OtherFileMovedOverIt) {
        ASSERT_TRUE(MoveFileExW((folder + L"\\b.txt").c_str(), (folder + L"\\a.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    if (c.meanwhile == Meanwhile::HardLinkMade) {
        ASSERT_TRUE(CreateHardLinkW((folder + L"\\c.txt").c_str(), (folder + L"\\a.txt").c_str(), nullptr));
    }
    if (c.bListedAsLink) listed.dwAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    FileHandle opened;
    ASSERT_EQ(OpenRelative(hFolder.Get(), c.pszOpened, FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN_REPARSE_POINT, opened),
              static_cast<DWORD>(ERROR_SUCCESS));
    HandleFacts facts;
    ASSERT_TRUE(ReadHandleFacts(opened.Get(), facts));

    EXPECT_EQ(CheckListedEntry(opened.Get(), facts, folderName, listed), c.dwExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListedEntryCheck,
    ::testing::Values(
        EntryCheckCase{"TheListedFile", L"a.txt", Meanwhile::Nothing, L"a.txt", false, ERROR_SUCCESS},
        EntryCheckCase{"TheListedFolder", L"d", Meanwhile::Nothing, L"d", false, ERROR_SUCCESS},
        // A new file in the listed entry's place: same name, another file ID.
        EntryCheckCase{"OtherFileMovedOverIt", L"a.txt", Meanwhile::OtherFileMovedOverIt, L"a.txt", false,
                       ERROR_FILE_INVALID},
        // The listed file under another name: same file ID, as a link to a file followed by the
        // platform would show.
        EntryCheckCase{"SameFileUnderAnotherName", L"a.txt", Meanwhile::HardLinkMade, L"c.txt", false,
                       ERROR_FILE_INVALID},
        // A link to a folder that the platform opened as its target.
        EntryCheckCase{"ListedAsLinkOpenedAsFolder", L"d", Meanwhile::Nothing, L"d", true, ERROR_NOT_A_REPARSE_POINT}),
    CaseName());

}  // namespace
