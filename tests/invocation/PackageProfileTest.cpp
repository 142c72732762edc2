#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invocation/PackageProfile.h"
#include "support/FileUtil.h"
#include "support/NamedCase.h"
#include "support/TempFolder.h"

namespace {

const std::string kLittleEndianMark = "\xFF\xFE";
const std::string kBigEndianMark = "\xFE\xFF";

std::string Utf16(const std::wstring& text, bool bBigEndian) {
    std::string bytes;
    for (wchar_t ch : text) {
        char low = static_cast<char>(ch & 0xFF), high = static_cast<char>((ch >> 8) & 0xFF);
        bytes += bBigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

struct ProfileCase : NamedCase {
    std::string bytes;
    bool bUsb;
};

std::vector<ProfileCase> ProfileCases() {
    using namespace std::string_literals;
    return {
        {"FirstWord", "USB NIC package\r\n", true},
        {"LastWordWithoutLineEnd", "[Package]\r\nType = NIC USB", true},
        {"BetweenTabs", "Family\tUSB\tadapter", true},
        {"BlanksAroundEquals", "Type = USB\r\n", true},
        {"LowerCase", "Type = usb Usb\r\n", false},
        {"GluedToEquals", "Type=USB\r\n", false},
        {"InBrackets", "[USB]\r\n", false},
        {"WithComma", "USB, NIC\r\n", false},
        {"NoBreakSpaceSeparates", "Type\xA0USB", true},
        {"Utf16LittleEndianWithMark", kLittleEndianMark + Utf16(L"[Package]\r\nType = USB\r\n", false), true},
        {"Utf16BigEndianWithMark", kBigEndianMark + Utf16(L"Type = USB\r\n", true), true},
        {"Utf16IdeographicSpaceSeparates", kLittleEndianMark + Utf16(L"Type\u3000USB", false), true},
        // The mark is no Unicode mark here: its three bytes join the first word.
        {"Utf8MarkGluedToFirstWord", "\xEF\xBB\xBFUSB NIC\r\n", false},
        // Read as single bytes, every word ends at its first zero byte: "U".
        {"Utf16WithoutMark", Utf16(L"Type = USB\r\n", false), false},
        // A word is held in a zero-terminated buffer, so its text ends at a zero.
        {"WordEndsAtZeroByte", "USB\0tail"s, true},
        {"WordOf127CharactersEndingAtZero", "USB\0"s + std::string(123, 'x'), true},
        {"WordOf128CharactersNeverMatches", "USB\0"s + std::string(124, 'x'), false},
        {"LongWordEndingInUsbNotSplit", std::string(127, 'x') + "USB", false},
        // Text modes end the file at Ctrl+Z.
        {"SingleByteEndsAtCtrlZ", "NIC \x1A USB", false},
        {"Utf16EndsAtCtrlZ", kLittleEndianMark + Utf16(L"NIC \x1A USB", false), false},
        {"UsbBeforeCtrlZ", "USB\x1A", true},
        {"Empty", "", false},
        {"OnlyMark", kLittleEndianMark, false},
        {"OddByteAfterUtf16", kLittleEndianMark + Utf16(L"USB", false) + "\x20", true},
    };
}

class ProfileFileTest : public ::testing::TestWithParam<ProfileCase> {
protected:
    TempFolder m_folder;
};

TEST_P(ProfileFileTest, FindsWholeWordUsb) {
    const std::wstring path = m_folder / L"Windows\\setup.ini";
    WriteBytes(path, GetParam().bytes);
    EXPECT_EQ(ReadProfileFile(path), GetParam().bUsb);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ProfileFileTest, ::testing::ValuesIn(ProfileCases()), CaseName());

// A profile that cannot be read names no USB package.
struct UnreadableProfileCase : NamedCase {
    const wchar_t* pszMade;  // below the test folder; null: nothing
};

class UnreadableProfile : public ::testing::TestWithParam<UnreadableProfileCase> {
protected:
    TempFolder m_folder;
};

TEST_P(UnreadableProfile, IsNoUsb) {
    if (GetParam().pszMade != nullptr) MakeFolders(m_folder / GetParam().pszMade);
    EXPECT_FALSE(ReadProfileFile(m_folder / L"Windows\\setup.ini"));
}

INSTANTIATE_TEST_SUITE_P(ProfileFile, UnreadableProfile,
                         ::testing::Values(UnreadableProfileCase{"MissingFile", L"Windows"},
                                           UnreadableProfileCase{"MissingFolder", nullptr},
                                           UnreadableProfileCase{"FolderInPlaceOfFile", L"Windows\\setup.ini"}),
                         CaseName());

TEST(ProfilePath, BesideTheProgram) {
    std::wstring path;
    ASSERT_TRUE(ProfilePathFor(L"D:\\Pkg\\Update.exe", path));
    EXPECT_EQ(path, L"D:\\Pkg\\Windows\\setup.ini");
    ASSERT_TRUE(ProfilePathFor(L"\\\\server\\share\\Update.exe", path));
    EXPECT_EQ(path, L"\\\\server\\share\\Windows\\setup.ini");
}

// A program name that cannot be read leaves drive and folder empty: the current folder's profile.
TEST(ProfilePath, UnreadableProgramNameIsRelative) {
    std::wstring path;
    ASSERT_TRUE(ProfilePathFor(L"", path));
    EXPECT_EQ(path, L"Windows\\setup.ini");
}

TEST(ProfilePath, TooDeepFolderIsRefused) {
    const std::wstring kFileName = L"Windows\\setup.ini";
    const std::wstring fits = L"C:\\" + std::wstring(259 - 3 - kFileName.size() - 1, L'a') + L"\\";
    std::wstring path;
    ASSERT_TRUE(ProfilePathFor(fits + L"Update.exe", path));
    EXPECT_EQ(path.size(), 259u);

    path = L"unchanged";
    EXPECT_FALSE(ProfilePathFor(L"C:\\" + std::wstring(239, L'a') + L"\\Update.exe", path));
    EXPECT_FALSE(ProfilePathFor(L"C:\\" + std::wstring(300, L'a') + L"\\Update.exe", path));
    EXPECT_EQ(path, L"unchanged");
}

}  // namespace
