// A package folder whose path leaves no room for the "\*.*" of a listing within MAX_PATH. A copy
// that skipped it would hand out a package without that file, as if complete; the copy works
// through handles, relative to each folder, so the length of the path is no limit.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/FileUtil.h"
#include "support/ProgramFixture.h"

namespace {

const wchar_t kLongPathPrefix[] = L"\\\\?\\";

class DeepPackageFolder : public ProgramTest {
protected:
    // Below Others: folders of 40 characters while the path stays within 250, then one whose
    // path is 257 characters long, holding f.txt.
    void MakeDeepFolder() {
        std::wstring path = Root() + L"\\Others";
        while (path.size() + 41 <= 250) {
            path += L"\\" + std::wstring(40, L'd');
            m_levels.push_back(path);
        }
        path += L"\\" + std::wstring(257 - path.size() - 1, L'e');
        m_levels.push_back(path);
        for (const std::wstring& level : m_levels)
            ASSERT_TRUE(CreateDirectoryW((kLongPathPrefix + level).c_str(), nullptr) ||
                        GetLastError() == ERROR_ALREADY_EXISTS);
        m_deepFile = m_levels.back() + L"\\f.txt";
        HANDLE hFile = CreateFileW((kLongPathPrefix + m_deepFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
        CloseHandle(hFile);
    }

    // The test folder's own removal lists by plain paths, which cannot reach this deep.
    void TearDown() override {
        if (!m_deepFile.empty()) DeleteFileW((kLongPathPrefix + m_deepFile).c_str());
        for (auto level = m_levels.rbegin(); level != m_levels.rend(); ++level)
            RemoveDirectoryW((kLongPathPrefix + *level).c_str());
        if (!m_target.empty()) RemoveTree(m_target);
        ProgramTest::TearDown();
    }

    std::vector<std::wstring> m_levels;
    std::wstring m_deepFile;
    std::wstring m_target;
};

TEST_F(DeepPackageFolder, ExtractAllCopiesItLikeAnyOther) {
    MakePackage();
    ASSERT_NO_FATAL_FAILURE(MakeDeepFolder());
    ASSERT_GE(m_levels.back().size() + 4, static_cast<std::size_t>(MAX_PATH));
    // A target short enough for every copied folder to be within MAX_PATH, as the test reads it back.
    m_target = L"C:\\nu" + std::to_wstring(GetCurrentProcessId());
    ASSERT_LT(m_target.size() + m_levels.back().size() - Root().size(), 248u);

    ProgramOutcome outcome = Run(L"/extract_all \"" + m_target + L"\"");

    EXPECT_EQ(outcome.dwExitCode, 0u);
    EXPECT_TRUE(PathExists(m_target + m_deepFile.substr(Root().size())));
}

}  // namespace
