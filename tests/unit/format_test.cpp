// The bounded formatter: the conversions the program uses, and its limits.
#include "text/format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(FormatTextTest, FormatsTheProgramsConversions) {
    char buf[260];
    FormatText(buf, sizeof buf, "track %d/%d. ( %2d:%02d/ %2d:%02d)", 3, 12, 1, 5, 4, 7);
    EXPECT_STREQ(buf, "track 3/12. (  1:05/  4:07)");
    FormatText(buf, sizeof buf, "\\StringFileInfo\\%04x%04x\\%s", 0x411, 0x4B0, "ProductName");
    EXPECT_STREQ(buf, "\\StringFileInfo\\041104b0\\ProductName");
    FormatText(buf, sizeof buf, "%d|%d|%u|%X|%c|%-4s|%5s|%%", -2147483647 - 1, 0, 4294967295u,
               0xBEEF, 'z', "ab", "cd");
    EXPECT_STREQ(buf, "-2147483648|0|4294967295|BEEF|z|ab  |   cd|%");
    FormatText(buf, sizeof buf, "%s track %2d.", "&1", 1);
    EXPECT_STREQ(buf, "&1 track  1.");
    FormatText(buf, sizeof buf, "%03d|%-3d|%.2s", -5, 7, "xyz");
    EXPECT_STREQ(buf, "-05|7  |xy");
    FormatText(buf, sizeof buf, "[%19.10s|%10.9s|%.0s|%s|%s|%ld%", "abcdefghijkl", "abcdefghijkl",
               "x", "", nullptr, 8);
    EXPECT_STREQ(buf, "[         abcdefghij| abcdefghi|||(null)|8");
}

TEST(FormatTextTest, StopsAtTheLimitAndTerminates) {
    char buf[8];
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(FormatText(buf, 5, "%s", "abcdefgh"), 4);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(buf[5], 'X');
    EXPECT_EQ(FormatText(buf, 1, "%d", 12345), 0);
    EXPECT_STREQ(buf, "");
    buf[0] = 'Y';
    EXPECT_EQ(FormatText(buf, 0, "%d", 1), 0);
    EXPECT_EQ(buf[0], 'Y');
}

TEST(FormatTextTest, ACutNeverSplitsADoubleByteCharacter) {
    char buf[6];
    // "ab" then ア イ (4 bytes): 5 text bytes fit, which would end on the lead byte of イ.
    FormatText(buf, sizeof buf, "ab%s", "\x83\x41\x83\x43");
    EXPECT_STREQ(buf, "ab\x83\x41");
    char one[2]; // room for the lead byte of ア alone, which is dropped
    FormatText(one, sizeof one, "%s", "\x83\x41");
    EXPECT_STREQ(one, "");
}

TEST(FormatTextTest, LongArgumentsStayInBounds) {
    std::string huge(1000, 'n');
    char buf[260];
    FormatText(buf, sizeof buf, "%s ver. %s", huge.c_str(), "0.02");
    EXPECT_EQ(strlen(buf), 259u);
}

} // namespace
