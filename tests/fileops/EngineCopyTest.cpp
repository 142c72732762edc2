#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {
using Tree = std::vector<std::wstring>;

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t ch) { return std::towupper(ch); });
    return text;
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t ch) { return std::towlower(ch); });
    return text;
}

class EngineCopy : public ::testing::Test {
protected:
    TempFolder temp;
    CFileOpEngine engine;
};
}  // namespace

TEST_F(EngineCopy, FolderIntoFolderMakesSubfolderAndReplacesFiles) {
    const std::wstring source = temp / L"A";
    WriteBytes(source + L"\\a.txt", "new a");
    WriteBytes(source + L"\\sub\\b.txt", "b");
    WriteBytes(source + L"\\sub\\deep\\c.txt", "c");
    MakeFolders(source + L"\\empty");
    WriteBytes(temp / L"B\\A\\a.txt", "old a");
    WriteBytes(temp / L"B\\other.txt", "stays");

    ASSERT_TRUE(engine.Copy(source, temp / L"B"));

    EXPECT_EQ(TreeDigest(temp / L"B\\A"), TreeDigest(source));
    EXPECT_EQ(ReadBytes(temp / L"B\\A\\a.txt"), "new a");
    EXPECT_EQ(ReadBytes(temp / L"B\\other.txt"), "stays");
}

TEST_F(EngineCopy, FileIntoFolderKeepsItsName) {
    WriteBytes(temp / L"src\\setup.ini", "profile");
    MakeFolders(temp / L"dest");

    ASSERT_TRUE(engine.Copy(temp / L"src\\setup.ini", temp / L"dest"));

    EXPECT_EQ(ReadBytes(temp / L"dest\\setup.ini"), "profile");
}

TEST_F(EngineCopy, FileOntoFileReplacesIt) {
    WriteBytes(temp / L"InstCtrl_Variant.txt", "variant");
    WriteBytes(temp / L"InstCtrl.txt", "original, longer than the variant");

    ASSERT_TRUE(engine.Copy(temp / L"InstCtrl_Variant.txt", temp / L"InstCtrl.txt"));

    EXPECT_EQ(ReadBytes(temp / L"InstCtrl.txt"), "variant");
}

// Windows refuses to copy onto a read-only file (code 5); Wine running as root copies anyway.
// Either way the result must tell what happened.
TEST_F(EngineCopy, ResultAgreesWithCopyOntoReadOnlyFile) {
    WriteBytes(temp / L"new.txt", "new");
    WriteBytes(temp / L"kept.txt", "old");
    SetReadOnly(temp / L"kept.txt", true);

    const bool bCopied = engine.Copy(temp / L"new.txt", temp / L"kept.txt");

    EXPECT_EQ(ReadBytes(temp / L"kept.txt"), bCopied ? "new" : "old");
    EXPECT_EQ(engine.GetLastErrorCode(), bCopied ? 0u : static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
}

// Copying a folder onto the folder that holds it would copy it onto itself; it is a no-op.
struct OntoParentCase : NamedCase {
    std::wstring (*target)(const std::wstring& parent);
    bool bTrailingBackslashOnSource;
};

class EngineCopyOntoParent : public EngineCopy, public ::testing::WithParamInterface<OntoParentCase> {};

TEST_P(EngineCopyOntoParent, ReturnsTrueAndChangesNothing) {
    const std::wstring parent = temp / L"pkg";
    WriteBytes(parent + L"\\Windows\\setup.ini", "profile");
    WriteBytes(parent + L"\\Windows\\Win10\\x64\\drv.inf", "inf");
    const std::string before = TreeDigest(temp.Path());
    std::wstring source = parent + L"\\Windows";
    if (GetParam().bTrailingBackslashOnSource) source += L"\\";
    const std::wstring target = GetParam().target(parent);

    EXPECT_TRUE(engine.Copy(source, target));

    EXPECT_EQ(TreeDigest(temp.Path()), before);
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EngineCopyOntoParent,
    ::testing::Values(OntoParentCase{"SameCase", [](const std::wstring& p) { return p; }, false},
                      OntoParentCase{"UpperCase", [](const std::wstring& p) { return Upper(p); }, false},
                      OntoParentCase{"LowerCase", [](const std::wstring& p) { return Lower(p); }, false},
                      OntoParentCase{"SourceWithTrailingBackslashOntoItself",
                                     [](const std::wstring& p) { return p + L"\\Windows"; }, true}),
    CaseName());

// Failures: the first one ends the copy, and the engine keeps its text and code.
struct CopyFailureCase : NamedCase {
    const wchar_t* source;  // relative to the test folder
    const wchar_t* target;
    const wchar_t* textAfterPath;  // appended to the named path; or the whole text
    bool bTextNamesSource;
    bool bTextNamesTarget;
};

class EngineCopyFailure : public EngineCopy, public ::testing::WithParamInterface<CopyFailureCase> {};

TEST_P(EngineCopyFailure, ReturnsFalseWithTextAndCodeZero) {
    WriteBytes(temp / L"file.txt", "data");
    WriteBytes(temp / L"folder\\inner.txt", "inner");
    const CopyFailureCase& c = GetParam();
    const std::wstring source = temp / c.source;
    const std::wstring target = temp / c.target;
    const std::string before = TreeDigest(temp.Path());

    EXPECT_FALSE(engine.Copy(source, target));

    std::wstring expected = c.textAfterPath;
    if (c.bTextNamesSource) expected = source + expected;
    if (c.bTextNamesTarget) expected = target + expected;
    EXPECT_EQ(engine.GetLastErrorText(), expected);
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
    EXPECT_EQ(TreeDigest(temp.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EngineCopyFailure,
    ::testing::Values(
        CopyFailureCase{"FileOntoMissingName", L"file.txt", L"copy.txt", L" not found", false, true},
        CopyFailureCase{"FileIntoMissingFolder", L"file.txt", L"nowhere\\file.txt", L" not found", false, true},
        CopyFailureCase{"MissingSource", L"absent.txt", L"folder", L" not found", true, false},
        CopyFailureCase{"MissingSourceAndTarget", L"absent", L"nowhere", L" not found", true, false},
        CopyFailureCase{"FolderOntoFile", L"folder", L"file.txt", L"Wrong operation", false, false}),
    CaseName());

TEST_F(EngineCopy, UnprobeablePathsDoNothingAndSucceed) {
    WriteBytes(temp / L"src\\a.txt", "a");
    MakeFolders(temp / L"dest");
    const std::string before = TreeDigest(temp.Path());

    // A wildcard name cannot be probed: it is neither missing, a file nor a folder.
    EXPECT_TRUE(engine.Copy(temp / L"src\\*.*", temp / L"dest"));
    EXPECT_TRUE(engine.Copy(temp / L"src", temp / L"dest\\*.*"));

    EXPECT_EQ(TreeDigest(temp.Path()), before);
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
}

namespace {
// Sets the process's current folder for one test and puts the old one back.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& path) {
        wchar_t szOld[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, szOld);
        m_old = szOld;
        if (!SetCurrentDirectoryW(path.c_str())) ADD_FAILURE() << "cannot enter " << Narrow(path);
    }
    ~CurrentFolder() { SetCurrentDirectoryW(m_old.c_str()); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::wstring m_old;
};
}  // namespace

TEST_F(EngineCopy, BareRelativeFolderNameCopiesContentsStraightIntoTarget) {
    WriteBytes(temp / L"Windows\\setup.ini", "profile");
    WriteBytes(temp / L"Windows\\Win7\\drv.inf", "inf");
    MakeFolders(temp / L"dest");
    CurrentFolder inTemp(temp.Path());

    ASSERT_TRUE(engine.Copy(L"Windows", temp / L"dest"));

    EXPECT_EQ(ListTree(temp / L"dest"), (Tree{L"Win7\\", L"Win7\\drv.inf", L"setup.ini"}));
}

// A target inside the source: the copy may enter as many subfolders as the target lies deeper
// than the source, so it cannot descend into its own output. NTFS and Wine list in name order.
struct NestedCase : NamedCase {
    bool bTargetInOtherCase;
};

class EngineCopyNested : public EngineCopy, public ::testing::WithParamInterface<NestedCase> {};

TEST_P(EngineCopyNested, BudgetLimitsSubfoldersToTheDepthDifference) {
    const std::wstring pkg = temp / L"pkg";
    WriteBytes(pkg + L"\\top1.txt", "1");
    WriteBytes(pkg + L"\\top2.txt", "2");
    WriteBytes(pkg + L"\\a\\f.txt", "f");
    WriteBytes(pkg + L"\\a\\deep\\g.txt", "g");
    WriteBytes(pkg + L"\\b\\h.txt", "h");
    MakeFolders(pkg + L"\\out");
    const std::wstring target = GetParam().bTargetInOtherCase ? Upper(pkg) + L"\\OUT" : pkg + L"\\out";

    ASSERT_TRUE(engine.Copy(pkg, target));

    EXPECT_EQ(ListTree(pkg + L"\\out"),
              (Tree{L"pkg\\", L"pkg\\a\\", L"pkg\\a\\f.txt", L"pkg\\top1.txt", L"pkg\\top2.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Spelling, EngineCopyNested,
                         ::testing::Values(NestedCase{"SameCase", false}, NestedCase{"TargetInOtherCase", true}),
                         CaseName());

TEST_F(EngineCopy, BudgetEndsWithTheCopy) {
    const std::wstring pkg = temp / L"pkg";
    WriteBytes(pkg + L"\\a\\b\\c.txt", "c");
    MakeFolders(pkg + L"\\out");
    ASSERT_TRUE(engine.Copy(pkg, pkg + L"\\out"));
    MakeFolders(temp / L"elsewhere");

    ASSERT_TRUE(engine.Copy(pkg + L"\\a", temp / L"elsewhere"));

    EXPECT_EQ(ListTree(temp / L"elsewhere"), (Tree{L"a\\", L"a\\b\\", L"a\\b\\c.txt"}));
}

// A sibling whose name merely begins with the source's name does not lie inside it.
TEST_F(EngineCopy, FolderIntoSiblingWithLongerNameCopiesWholeTree) {
    const std::wstring data = temp / L"data";
    WriteBytes(data + L"\\x.txt", "x");
    WriteBytes(data + L"\\sub\\y.txt", "y");
    WriteBytes(data + L"\\sub\\inner\\z.txt", "z");
    MakeFolders(temp / L"data2");

    ASSERT_TRUE(engine.Copy(data, temp / L"data2"));

    EXPECT_EQ(TreeDigest(temp / L"data2\\data"), TreeDigest(data));
}
