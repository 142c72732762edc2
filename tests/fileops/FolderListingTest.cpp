#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/FolderListing.h"
#include "support/FileUtil.h"
#include "support/TempFolder.h"

// Each advance makes the next entry current and tells whether yet another follows, so the
// last entry is still delivered with the report false.
TEST(FolderListing, LastEntryComesWithNoneFollowing) {
    TempFolder temp;
    WriteBytes(temp / L"f\\a.txt", "a");
    MakeFolders(temp / L"f\\sub");
    CFolderListing listing;
    ASSERT_TRUE(listing.Begin(temp / L"f\\*.*"));

    std::vector<std::wstring> names;
    std::vector<std::wstring> paths;
    bool bMore = true;
    while (bMore) {
        bMore = listing.Advance();
        if (listing.IsDots()) continue;
        names.push_back(listing.Name() + (listing.IsFolder() ? L"\\" : L""));
        paths.push_back(listing.FullPath());
    }

    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.txt", L"sub\\"}));
    EXPECT_EQ(paths, (std::vector<std::wstring>{temp / L"f\\a.txt", temp / L"f\\sub"}));
}

TEST(FolderListing, SingleMatchReportsNoneFollowing) {
    TempFolder temp;
    WriteBytes(temp / L"only.txt", "x");
    CFolderListing listing;
    ASSERT_TRUE(listing.Begin(temp / L"only.*"));

    EXPECT_FALSE(listing.Advance());
    EXPECT_EQ(listing.Name(), L"only.txt");
    EXPECT_FALSE(listing.IsDots());
}

TEST(FolderListing, DoesNotBeginWithoutMatch) {
    TempFolder temp;
    CFolderListing listing;

    EXPECT_FALSE(listing.Begin(temp / L"absent\\*.*"));
    EXPECT_FALSE(listing.Begin(temp / L"nothing*.txt"));
}
