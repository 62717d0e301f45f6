// The viewer's command line: the tail after the program name and the picture name in it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/startup.h"

namespace {

TEST(CommandLineTail, SkipsTheProgramNameAndItsBlanks) {
    const struct {
        const char* line;
        const char* tail;
    } kCases[] = {
        {"vramoria.exe a.sc5", "a.sc5"},
        {"vramoria.exe    a.sc5 b", "a.sc5 b"},
        {"\"C:\\Program Files\\v.exe\" \"my pic.sc5\" x", "\"my pic.sc5\" x"},
        {"\"C:\\v.exe\"a.sc5", "a.sc5"},
        {"vramoria.exe", ""},
        {"vramoria.exe \ta.sc5", "\ta.sc5"},  // tabs are not skipped
        {"\"unterminated name", ""},
        {"", ""},
    };
    for (const auto& c : kCases) EXPECT_STREQ(CommandLineTail(c.line), c.tail) << c.line;
}

TEST(PictureNameFromTail, QuotedNamesEndAtTheQuoteAndLongNamesAreRefused) {
    const std::string longest(259, 'n');
    const std::string tooLong(260, 'n');
    const struct {
        std::string tail;
        ArgumentName result;
        std::string name;
    } kCases[] = {
        {"a.sc5", kArgumentName, "a.sc5"},
        {"my pic.sc5 extra", kArgumentName, "my pic.sc5 extra"},  // unquoted: the whole rest
        {"\"my pic.sc5\" extra", kArgumentName, "my pic.sc5"},
        {"\"unterminated.sc5", kArgumentName, "unterminated.sc5"},
        {"", kArgumentNone, ""},
        {longest, kArgumentName, longest},
        {"\"" + longest + "\" x", kArgumentName, longest},
        {tooLong, kArgumentTooLong, ""},
        {"\"" + tooLong + "\"", kArgumentTooLong, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.tail.substr(0, 40));
        char name[kFileNameCapacity];
        EXPECT_EQ(PictureNameFromTail(c.tail.c_str(), name), c.result);
        EXPECT_EQ(std::string(name), c.name);
    }
}

TEST(BuildWindowTitle, NameThenTheProgramAndAlwaysFits) {
    char title[kTitleCapacity];
    BuildWindowTitle("pic.sc5", title);
    EXPECT_STREQ(title, "pic.sc5 - Vramoria");
    const std::string huge(1000, 'x');
    BuildWindowTitle(huge.c_str(), title);
    EXPECT_LT(std::strlen(title), static_cast<size_t>(kTitleCapacity));
    EXPECT_NE(std::strstr(title, " - Vramoria"), nullptr);
}

}  // namespace
