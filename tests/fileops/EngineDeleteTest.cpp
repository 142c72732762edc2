#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/MessageBoxAnswerer.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"
#include "SystemMessage.h"

namespace {
using Answer = MessageBoxAnswerer::Answer;
using Tree = std::vector<std::wstring>;

const wchar_t kQuestionTail[] = L" is read olny. Do you want delete it?";

class EngineDelete : public ::testing::Test {
protected:
    TempFolder temp;
};
}  // namespace

TEST_F(EngineDelete, RemovesWholeTreeWithoutAsking) {
    const std::wstring root = temp / L"KVNIC_INST_TEMP";
    WriteBytes(root + L"\\a.txt", "a");
    WriteBytes(root + L"\\Windows\\Win10\\x64\\drv.inf", "inf");
    WriteBytes(root + L"\\hidden.txt", "h");
    WriteBytes(root + L"\\system.txt", "s");
    MakeFolders(root + L"\\empty");
    // Hidden and system files are not read-only: they go without a question.
    SetFileAttributesW((root + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((root + L"\\system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    MessageBoxAnswerer noBox({});
    CFileOpEngine engine;

    EXPECT_TRUE(engine.Delete(root));

    noBox.Stop();
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
    EXPECT_FALSE(PathExists(root));
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
}

TEST_F(EngineDelete, RemovesSingleFile) {
    WriteBytes(temp / L"log.txt", "x");
    CFileOpEngine engine;

    EXPECT_TRUE(engine.Delete(temp / L"log.txt"));

    EXPECT_FALSE(PathExists(temp / L"log.txt"));
}

struct MissingCase : NamedCase {
    const wchar_t* path;  // relative to the test folder
    std::uint32_t dwCode;
};

class EngineDeleteMissing : public EngineDelete, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(EngineDeleteMissing, FailsWithSystemCodeAndText) {
    CFileOpEngine engine;

    EXPECT_FALSE(engine.Delete(temp / GetParam().path));

    EXPECT_EQ(engine.GetLastErrorCode(), GetParam().dwCode);
    EXPECT_EQ(engine.GetLastErrorText(), SystemMessage(GetParam().dwCode));
    EXPECT_FALSE(engine.GetLastErrorText().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineDeleteMissing,
                         ::testing::Values(MissingCase{"InExistingFolder", L"absent", ERROR_FILE_NOT_FOUND},
                                           MissingCase{"ParentMissingToo", L"absent\\child", ERROR_PATH_NOT_FOUND}),
                         CaseName());

// The folder f holds a.txt, m\ro.txt (read-only), m\s.txt and z.txt; a delete walks it in name
// order, so the question comes after a.txt is gone and before m\s.txt and z.txt are touched.
// A delete that leaves anything behind fails, naming the kept file and why it stayed.
struct ReadOnlyCase : NamedCase {
    Answer answer;
    Tree remaining;  // what is left of f; empty: f itself is gone
    bool bKeptItems;
    const wchar_t* pszFailure;  // the stored failure text; null: none stored
};

class EngineDeleteReadOnly : public EngineDelete, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(EngineDeleteReadOnly, AnswerDecidesWhatRemains) {
    const ReadOnlyCase& c = GetParam();
    const std::wstring root = temp / L"f";
    WriteBytes(root + L"\\a.txt", "a");
    WriteBytes(root + L"\\m\\ro.txt", "ro");
    WriteBytes(root + L"\\m\\s.txt", "s");
    WriteBytes(root + L"\\z.txt", "z");
    SetReadOnly(root + L"\\m\\ro.txt", true);
    MessageBoxAnswerer answerer({c.answer});
    CFileOpEngine engine;

    EXPECT_EQ(engine.Delete(root), c.pszFailure == nullptr);

    answerer.Stop();
    ASSERT_EQ(answerer.UnexpectedCount(), 0u) << answerer.DescribeUnexpected();
    ASSERT_EQ(answerer.AnsweredCount(), 1u);
    const MessageBoxAnswerer::Box box = answerer.Boxes().front();
    EXPECT_EQ(box.caption, L"Warning");
    EXPECT_EQ(box.text, std::wstring(L"ro.txt") + kQuestionTail);
    EXPECT_EQ(box.dwProcessId, GetCurrentProcessId());

    if (c.remaining.empty()) {
        EXPECT_FALSE(PathExists(root));
    } else {
        EXPECT_EQ(ListTree(root), c.remaining);
    }
    EXPECT_EQ(engine.HasKeptItems(), c.bKeptItems);
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
    EXPECT_EQ(engine.GetLastErrorCause(), 0u) << "the user's answer is no Win32 error";
    if (c.pszFailure == nullptr) {
        EXPECT_EQ(engine.GetLastErrorText(), L"No error");
    } else {
        EXPECT_EQ(engine.GetLastErrorText(), c.pszFailure);
        EXPECT_EQ(engine.GetLastErrorPath(), root + L"\\m\\ro.txt");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EngineDeleteReadOnly,
    ::testing::Values(ReadOnlyCase{"Yes", Answer::Yes, {}, false, nullptr},
                      ReadOnlyCase{"No", Answer::No, {L"m\\", L"m\\ro.txt"}, true,
                                   L"kept: the answer to the read-only question was No"},
                      ReadOnlyCase{"Cancel", Answer::Cancel, {L"m\\", L"m\\ro.txt", L"m\\s.txt", L"z.txt"}, true,
                                   L"kept: the read-only question was cancelled, which stopped the delete"}),
    CaseName());

TEST_F(EngineDelete, EveryReadOnlyFileIsAskedAboutInWalkOrder) {
    const std::wstring root = temp / L"f";
    WriteBytes(root + L"\\b.txt", "b");
    WriteBytes(root + L"\\sub\\readme.txt", "r");
    SetReadOnly(root + L"\\b.txt", true);
    SetReadOnly(root + L"\\sub\\readme.txt", true);
    MessageBoxAnswerer answerer({Answer::No, Answer::Yes});
    CFileOpEngine engine;

    EXPECT_FALSE(engine.Delete(root));

    answerer.Stop();
    EXPECT_EQ(answerer.UnexpectedCount(), 0u) << answerer.DescribeUnexpected();
    EXPECT_EQ(engine.GetLastErrorPath(), root + L"\\b.txt") << "the first file kept is the one the failure names";
    EXPECT_EQ(answerer.Texts(),
              (std::vector<std::wstring>{std::wstring(L"b.txt") + kQuestionTail,
                                         std::wstring(L"readme.txt") + kQuestionTail}));
    EXPECT_EQ(ListTree(root), (Tree{L"b.txt"}));
}

// A file kept once does not make later failures of the same engine count as success.
TEST_F(EngineDelete, KeptFileHidesNoLaterFailure) {
    WriteBytes(temp / L"f\\ro.txt", "ro");
    SetReadOnly(temp / L"f\\ro.txt", true);
    MessageBoxAnswerer answerer({Answer::No});
    CFileOpEngine engine;
    ASSERT_FALSE(engine.Delete(temp / L"f"));
    answerer.Stop();
    ASSERT_EQ(answerer.AnsweredCount(), 1u);

    EXPECT_FALSE(engine.Delete(temp / L"absent"));
    EXPECT_EQ(engine.GetLastErrorCode(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(engine.GetLastErrorPath(), temp / L"absent");
}

// Nobody answers in an unattended run: read-only files go as if the answer were Yes.
struct UnattendedCase : NamedCase {
    bool bAtConstruction;  // false: set on the engine afterwards
};

class EngineDeleteUnattended : public EngineDelete, public ::testing::WithParamInterface<UnattendedCase> {};

TEST_P(EngineDeleteUnattended, DeletesReadOnlyFilesWithoutBox) {
    const std::wstring root = temp / L"f";
    WriteBytes(root + L"\\ro.txt", "ro");
    WriteBytes(root + L"\\sub\\ro2.txt", "ro");
    SetReadOnly(root + L"\\ro.txt", true);
    SetReadOnly(root + L"\\sub\\ro2.txt", true);
    MessageBoxAnswerer noBox({});
    const bool bAtConstruction = GetParam().bAtConstruction;
    CFileOpEngine engine(bAtConstruction);
    if (!bAtConstruction) engine.SetUnattended(true);

    EXPECT_TRUE(engine.Delete(root));

    noBox.Stop();
    EXPECT_EQ(noBox.UnexpectedCount(), 0u) << noBox.DescribeUnexpected();
    EXPECT_FALSE(PathExists(root));
    EXPECT_FALSE(engine.HasKeptItems());
}

INSTANTIATE_TEST_SUITE_P(Set, EngineDeleteUnattended,
                         ::testing::Values(UnattendedCase{"AtConstruction", true}, UnattendedCase{"BySetter", false}),
                         CaseName());

// A folder the caller made and holds open without delete sharing (a staging folder) is emptied
// and removed through that handle: nobody could have swapped it for a link meanwhile.
TEST_F(EngineDelete, OpenFolderIsEmptiedThroughItsHandleAndGoesWhenItCloses) {
    const std::wstring root = temp / L"held";
    WriteBytes(root + L"\\a.txt", "a");
    WriteBytes(root + L"\\Windows\\WIN10\\64\\drv.inf", "inf");
    MakeFolders(root + L"\\empty");
    FileHandle held(CreateFileW(root.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                nullptr));
    ASSERT_TRUE(held.IsValid());
    CFileOpEngine engine;

    EXPECT_TRUE(engine.DeleteOpenFolder(held.Get(), root));

    EXPECT_TRUE(ListTree(root).empty());
    EXPECT_FALSE(MoveFileW(root.c_str(), (temp / L"moved").c_str())) << "the held folder was renamed";
    held.Reset();
    EXPECT_FALSE(PathExists(root));
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
}

namespace {

// While the delete waits on the read-only question inside f\m, it holds f and f\m open. Another
// party that moved either away meanwhile could put a folder of its own in its place, or take
// the emptied folder's content out of the delete's reach: the holds share no deletion, so the
// move is refused.
struct HeldFolderCase : NamedCase {
    const wchar_t* pszFolder;  // below the test folder
};

class FolderDuringDelete : public EngineDelete, public ::testing::WithParamInterface<HeldFolderCase> {};

}  // namespace

TEST_P(FolderDuringDelete, CannotBeMovedAway) {
    const std::wstring root = temp / L"f";
    WriteBytes(root + L"\\m\\ro.txt", "ro");
    WriteBytes(root + L"\\m\\s.txt", "s");
    SetReadOnly(root + L"\\m\\ro.txt", true);
    const std::wstring folder = temp / GetParam().pszFolder;
    const std::wstring aside = temp / L"moved";
    bool bBoxSeen = false;
    bool bMoved = false;
    DWORD dwMoveError = 0;
    std::size_t nAnswered = 0;
    std::thread other([&] {
        bBoxSeen = WaitForBoxOfThisTest(L"Warning", 10000) != nullptr;
        if (bBoxSeen) {
            bMoved = MoveFileW(folder.c_str(), aside.c_str()) != FALSE;
            dwMoveError = GetLastError();
        }
        MessageBoxAnswerer answerer({Answer::Yes});
        answerer.WaitAllAnswered();
        nAnswered = answerer.AnsweredCount();
    });
    CFileOpEngine engine;

    const bool bDeleted = engine.Delete(root);
    other.join();

    ASSERT_TRUE(bBoxSeen) << "the delete asked no question";
    EXPECT_EQ(nAnswered, 1u);
    EXPECT_FALSE(bMoved) << Narrow(folder) << " was moved while the delete worked in it";
    EXPECT_EQ(dwMoveError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(bDeleted);
    EXPECT_FALSE(PathExists(root));
    EXPECT_FALSE(PathExists(aside));
}

INSTANTIATE_TEST_SUITE_P(Holds, FolderDuringDelete,
                         ::testing::Values(HeldFolderCase{"FolderBeingEmptied", L"f\\m"},
                                           HeldFolderCase{"FolderAbove", L"f"}),
                         CaseName());
