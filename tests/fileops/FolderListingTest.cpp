#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/FolderListing.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
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

// Why a listing did not begin: a copy must tell an empty match from a folder it cannot list.
struct BeginFailureCase : NamedCase {
    const wchar_t* pszPattern;  // below the test folder; "<long>" stands for a name that makes it MAX_PATH long
    DWORD dwError;
};

class FolderListingBegin : public ::testing::TestWithParam<BeginFailureCase> {
protected:
    TempFolder temp;
};

TEST_P(FolderListingBegin, SaysWhyItDidNotBegin) {
    WriteBytes(temp / L"f\\a.txt", "a");
    std::wstring pattern = temp / GetParam().pszPattern;
    const std::size_t nLong = pattern.find(L"<long>");
    if (nLong != std::wstring::npos) pattern.replace(nLong, 6, std::wstring(MAX_PATH - (pattern.size() - 6), L'x'));
    CFolderListing listing;

    EXPECT_FALSE(listing.Begin(pattern));

    EXPECT_EQ(listing.Error(), GetParam().dwError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderListingBegin,
    ::testing::Values(BeginFailureCase{"NothingMatches", L"f\\nothing*.txt", ERROR_FILE_NOT_FOUND},
                      BeginFailureCase{"FolderMissing", L"absent\\*.*", ERROR_PATH_NOT_FOUND},
                      BeginFailureCase{"PatternOfMaxPathCharacters", L"f\\<long>", ERROR_FILENAME_EXCED_RANGE}),
    CaseName());

TEST(FolderListing, EndsWithNoMoreFilesAfterTheLastEntry) {
    TempFolder temp;
    WriteBytes(temp / L"f\\a.txt", "a");
    CFolderListing listing;
    ASSERT_TRUE(listing.Begin(temp / L"f\\*.*"));

    while (listing.Advance()) {
    }

    EXPECT_EQ(listing.Error(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
}
