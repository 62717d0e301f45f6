// Names as UTF-8 inside the program, UTF-16 at the Windows calls: the conversions at that seam,
// and files with names outside every ANSI code page written, read and told apart from their
// look-alikes (natively these are byte names; under Wine they go through the W functions).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "platform/platform.h"
#include "platform/unicode.h"
#include "shell/startup.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// Well-formed text: the UTF-16 units are those of the Unicode standard's own tables (U+00E9,
// U+65E5 U+672C U+8A9E, U+D55C U+AE00, U+1F600 as the pair D83D DE00, the edges U+007F, U+0080,
// U+07FF, U+0800, U+FFFF, U+10000, U+10FFFF).
TEST(Utf8ToUtf16, WellFormedTextGivesItsCodeUnitsAndComesBackTheSame) {
    const struct {
        const char* utf8;
        std::u16string utf16;
    } kCases[] = {
        {"", u""},
        {"cafe.sc5", u"cafe.sc5"},
        {"caf\xC3\xA9.sc5", {0x63, 0x61, 0x66, 0xE9, 0x2E, 0x73, 0x63, 0x35}},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", {0x65E5, 0x672C, 0x8A9E}},
        {"\xED\x95\x9C\xEA\xB8\x80", {0xD55C, 0xAE00}},
        {"\xC5\x81\xC3\xB3\x64\xC5\xBA", {0x141, 0xF3, 0x64, 0x17A}},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\x7F\xC2\x80\xDF\xBF", {0x7F, 0x80, 0x7FF}},
        {"\xE0\xA0\x80\xEF\xBF\xBF", {0x800, 0xFFFF}},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", {0xD800, 0xDC00, 0xDBFF, 0xDFFF}},
        {"C:\\\xE3\x83\x95\\a.sc5", {'C', ':', '\\', 0x30D5, '\\', 'a', '.', 's', 'c', '5'}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.utf8);
        std::u16string wide = u"stale";
        ASSERT_TRUE(Utf8ToUtf16(c.utf8, std::strlen(c.utf8), &wide));
        EXPECT_EQ(wide, c.utf16);
        std::string back = "stale";
        ASSERT_TRUE(Utf16ToUtf8(wide.data(), wide.size(), &back));
        EXPECT_EQ(back, c.utf8);
        EXPECT_EQ(Utf16Units(c.utf8, std::strlen(c.utf8)), c.utf16.size());
    }
}

TEST(Utf8ToUtf16, IllFormedBytesAreRefusedNeverGuessed) {
    const char* kCases[] = {
        "\x80",                  // a continuation byte alone
        "caf\xE9.sc5",           // code page 1252's é, not UTF-8
        "\x93\xFA\x96\x7B",      // code page 932's 日本
        "\xC3",                  // truncated at the end
        "\xE6\x97.sc5",          // truncated before an ASCII byte
        "\xC0\xAF",              // overlong "/": must never pass as a separator
        "\xC1\xBF",              // overlong
        "\xE0\x80\xAF",          // overlong "/" in three bytes
        "\xF0\x80\x80\xAF",      // overlong "/" in four bytes
        "\xED\xA0\x80",          // an encoded high surrogate (U+D800)
        "\xED\xBF\xBF",          // an encoded low surrogate (U+DFFF)
        "\xF4\x90\x80\x80",      // above U+10FFFF
        "\xF5\x80\x80\x80",      // lead byte F5
        "\xFF",                  // never in UTF-8
    };
    for (const char* c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c)));
        std::u16string wide = u"stale";
        EXPECT_FALSE(Utf8ToUtf16(c, std::strlen(c), &wide));
        EXPECT_TRUE(wide.empty());
    }
}

TEST(Utf16ToUtf8, UnpairedSurrogatesAreRefusedAndShownAsReplacement) {
    const struct {
        std::u16string wide;
        const char* shown;
    } kCases[] = {
        {{0xD800}, "\xEF\xBF\xBD"},
        {{'a', 0xDC00, 'b'}, "a\xEF\xBF\xBD" "b"},
        {{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the pair in the wrong order
        {{0xD83D, 'x'}, "\xEF\xBF\xBDx"},
    };
    for (const auto& c : kCases) {
        std::string out = "stale";
        EXPECT_FALSE(Utf16ToUtf8(c.wide.data(), c.wide.size(), &out));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(Utf16ToUtf8ForDisplay(c.wide.data(), c.wide.size()), c.shown);
    }
}

TEST(Utf8PrefixLength, CutsOnlyBetweenCharacters) {
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";  // a é 日 😀: 1+2+3+4 bytes
    const size_t kExpected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (size_t capacity = 0; capacity < 12; ++capacity) {
        EXPECT_EQ(Utf8PrefixLength(text.c_str(), text.size(), capacity), kExpected[capacity])
            << capacity;
    }
}

// Windows counts MAX_PATH in UTF-16 units: 259 of them pass whatever their UTF-8 length.
TEST(PictureNameFromTail, TheLimitIs259Utf16UnitsNotBytes) {
    auto repeat = [](const char* s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    const struct {
        std::string tail;
        ArgumentName result;
    } kCases[] = {
        {repeat("\xC3\xA9", 259), kArgumentName},          // 518 bytes
        {repeat("\xC3\xA9", 260), kArgumentTooLong},
        {repeat("\xE6\x97\xA5", 259), kArgumentName},      // 777 bytes, the buffer's most
        {repeat("\xE6\x97\xA5", 260), kArgumentTooLong},
        {"x" + repeat("\xF0\x9F\x98\x80", 129), kArgumentName},  // 259 units
        {repeat("\xF0\x9F\x98\x80", 130), kArgumentTooLong},     // 260 units in 520 bytes
    };
    for (const auto& c : kCases) {
        char name[kFileNameCapacity];
        EXPECT_EQ(PictureNameFromTail(c.tail.c_str(), name), c.result) << c.tail.size();
        EXPECT_EQ(std::string(name), c.result == kArgumentName ? c.tail : std::string());
    }
}

TEST(BuildWindowTitle, ALongNameIsCutBetweenCharacters) {
    std::string name;
    for (int i = 0; i < 400; ++i) name += "\xE6\x97\xA5";
    char title[kTitleCapacity];
    BuildWindowTitle(name.c_str(), title);
    std::u16string wide;
    EXPECT_TRUE(Utf8ToUtf16(title, std::strlen(title), &wide));
    EXPECT_NE(std::strstr(title, " - Vramoria"), nullptr);
    BuildWindowTitle("/pics/\xED\x95\x9C\xEA\xB8\x80.sc5", title);
    EXPECT_STREQ(title, "\xED\x95\x9C\xEA\xB8\x80.sc5 - Vramoria");
}

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(dir))) {
        names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Each name is written beside its look-alike, which must keep its bytes: through an ANSI code
// page "café" became "cafe" (932) and "Łódź" "Lodz" (1252), and the wrong file was replaced.
TEST(UnicodeNames, WrittenAndReadUnderExactlyTheirOwnNames) {
    const std::string dir = ScratchDir("unicode-names");
    const struct {
        const char* name;
        const char* lookAlike;
    } kCases[] = {
        {"caf\xC3\xA9.sc5", "cafe.sc5"},
        {"\xC5\x81\xC3\xB3\x64\xC5\xBA.sc5", "Lodz.sc5"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.sc5", nullptr},  // "???.sc5" under 1252
        {"\xED\x95\x9C\xEA\xB8\x80.sc5", nullptr},
    };
    std::vector<std::string> expected;
    for (const auto& c : kCases) {
        const Bytes old = {'o', 'l', 'd'};
        const std::string lookAlike = dir + "/" + (c.lookAlike != nullptr ? c.lookAlike : "");
        if (c.lookAlike != nullptr) {
            ASSERT_EQ(WriteFileAtomically(lookAlike.c_str(), old.data(), old.size(), nullptr, 0), kWriteOk);
            expected.push_back(c.lookAlike);
        }
        const std::string path = dir + "/" + c.name;
        const Bytes picture = PlainBsave(0, 3, {1, 2, 3, 4});
        ASSERT_EQ(WriteFileAtomically(path.c_str(), picture.data(), picture.size(), nullptr, 0), kWriteOk);
        expected.push_back(c.name);
        uint8_t buffer[64];
        size_t got = 0;
        ASSERT_EQ(ReadFilePrefix(path.c_str(), buffer, sizeof buffer, &got), kReadOk);
        EXPECT_EQ(Bytes(buffer, buffer + got), picture);
        Picture loaded;
        EXPECT_EQ(LoadScreenFileNamed(path.c_str(), &loaded), kLoadOk);
        if (c.lookAlike == nullptr) continue;
        ASSERT_EQ(ReadFilePrefix(lookAlike.c_str(), buffer, sizeof buffer, &got), kReadOk);
        EXPECT_EQ(Bytes(buffer, buffer + got), old) << c.lookAlike;
        FileIdentity a;
        FileIdentity b;
        ASSERT_TRUE(GetFileIdentity(path.c_str(), &a));
        ASSERT_TRUE(GetFileIdentity(lookAlike.c_str(), &b));
        EXPECT_FALSE(SameFile(a, b)) << c.name;
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(dir), expected);
}

#ifdef _WIN32
// Bytes that are not UTF-8 name no file: refused, and nothing is created under a guessed name.
TEST(UnicodeNames, BytesThatAreNotUtf8AreRefusedOnWindows) {
    const std::string dir = ScratchDir("unicode-refused");
    const std::string path = dir + "/caf\xE9.sc5";  // code page 1252's é
    const uint8_t data[] = {1, 2, 3};
    char reason[256] = "";
    EXPECT_EQ(WriteFileAtomically(path.c_str(), data, sizeof data, reason, sizeof reason),
              kWriteCreateFailed);
    EXPECT_NE(reason[0], '\0');
    uint8_t buffer[8];
    size_t got = 0;
    EXPECT_EQ(ReadFilePrefix(path.c_str(), buffer, sizeof buffer, &got), kReadCannotOpen);
    EXPECT_TRUE(Listing(dir).empty());
    FileIdentity identity;
    EXPECT_FALSE(GetFileIdentity(path.c_str(), &identity));
}

// Case is ignored as NTFS ignores it, beyond ASCII too: "É" and "é" are one name.
TEST(UnicodeNames, NewNamesCompareIgnoringCaseBeyondAscii) {
    const std::string dir = ScratchDir("unicode-case");
    FileIdentity lower;
    FileIdentity upper;
    ASSERT_TRUE(GetFileIdentity((dir + "/caf\xC3\xA9.sc5").c_str(), &lower));
    ASSERT_TRUE(GetFileIdentity((dir + "/CAF\xC3\x89.SC5").c_str(), &upper));
    EXPECT_TRUE(SameFile(lower, upper));
    ASSERT_TRUE(GetFileIdentity((dir + "/cafe.sc5").c_str(), &upper));
    EXPECT_FALSE(SameFile(lower, upper));
}
#endif

}  // namespace
