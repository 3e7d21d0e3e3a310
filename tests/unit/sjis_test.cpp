// Double-byte boundaries in the Shift-JIS helpers and the program's own path.
#include "text/sjis.h"

#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstring>
#include <string>

namespace {

struct KindCase {
    const char* bytes;
    int index;
    int kind;
};

class SjisByteKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(SjisByteKindTest, ClassifiesByWalkingFromTheStart) {
    const KindCase& c = GetParam();
    EXPECT_EQ(SjisByteKind(c.bytes, c.index), c.kind) << "index " << c.index;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SjisByteKindTest,
    ::testing::Values(KindCase{"", 0, SJIS_SINGLE}, KindCase{"abc", 3, SJIS_SINGLE},
                      KindCase{"abc", 7, SJIS_SINGLE}, KindCase{"abc", -1, SJIS_SINGLE},
                      KindCase{"\x82\xA0x", 0, SJIS_LEAD}, KindCase{"\x82\xA0x", 1, SJIS_TRAIL},
                      KindCase{"\x82\xA0x", 2, SJIS_SINGLE},
                      KindCase{"\x81\x7F", 1, SJIS_SINGLE}, // 0x7F is never a trail byte
                      KindCase{"\x81\x30\x81\x40", 1, SJIS_SINGLE},
                      KindCase{"\x81\x30\x81\x40", 2, SJIS_LEAD},
                      KindCase{"\x81\x30\x81\x40", 3, SJIS_TRAIL},
                      KindCase{"\x81\x81\x81", 0, SJIS_LEAD},
                      KindCase{"\x81\x81\x81", 1, SJIS_TRAIL},
                      KindCase{"\x81\x81\x81", 2, SJIS_LEAD}, // lead byte before the terminator
                      KindCase{"\x80", 0, SJIS_SINGLE}, KindCase{"\xA0", 0, SJIS_SINGLE},
                      KindCase{"\xB1", 0, SJIS_SINGLE}, KindCase{"\xFD", 0, SJIS_SINGLE},
                      KindCase{"\xFC\xFC", 1, SJIS_TRAIL}, KindCase{"\xE0\x40", 0, SJIS_LEAD},
                      KindCase{"\x9F", 0, SJIS_LEAD}, KindCase{"", 1, SJIS_SINGLE},
                      KindCase{"\xDFx", 0, SJIS_SINGLE}, KindCase{"\x81\x3F", 1, SJIS_SINGLE},
                      KindCase{"\x81\xFD", 1, SJIS_SINGLE}));

TEST(SjisPathTest, TrailBackslashIsNoSeparator) {
    EXPECT_EQ(IsPathSeparatorAt("\x95\x5C", 1), 0); // 表
    EXPECT_EQ(IsPathSeparatorAt("C:\\", 2), 1);
    EXPECT_EQ(IsPathSeparatorAt("C:/", 2), 0);
    EXPECT_EQ(IsPathSeparatorAt("C:\\", 1), 0);
}

struct ExtensionCase {
    const char* path;
    int dotIndex; // -1: the terminator
    const char* cut;
    const char* extension;
};

class ExtensionTest : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ExtensionTest, FindsTheLastDotOfTheLastComponent) {
    const ExtensionCase& c = GetParam();
    char buf[MAX_PATH];
    strcpy(buf, c.path);
    char* dot = FindExtensionDot(buf);
    if (c.dotIndex < 0)
        EXPECT_EQ(dot, buf + strlen(buf));
    else
        EXPECT_EQ(dot - buf, c.dotIndex);
    char* ext = CutExtension(buf);
    EXPECT_STREQ(buf, c.cut);
    EXPECT_STREQ(ext, c.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExtensionTest,
    ::testing::Values(ExtensionCase{"C:\\dir\\file.tar.gz", 15, "C:\\dir\\file.tar", "gz"},
                      ExtensionCase{"C:\\dir.d\\file", -1, "C:\\dir.d\\file", ""},
                      ExtensionCase{".profile", 0, "", "profile"},
                      ExtensionCase{"a.b\x95\x5C", 1, "a", "b\x95\x5C"},
                      ExtensionCase{"noext", -1, "noext", ""},
                      ExtensionCase{"C:\\\x95\x5C.d\\x", -1, "C:\\\x95\x5C.d\\x", ""},
                      ExtensionCase{"", -1, "", ""}));

TEST(CopySjisTruncatedTest, NeverEndsOnALeadByteNorWritesPastN) {
    struct Case {
        const char* src;
        int n;
        const char* expected;
    } cases[] = {
        {"abcdef", 5, "abcd"},
        {"abc\x82\xA0", 5, "abc"},
        {"ab\x82\xA0"
         "c",
         5, "ab\x82\xA0"},
        {"anything", 1, ""},
        {"\x82\xA0", 2, ""},
        {"a\x81\x30", 3, "a\x81"}, // no valid trail follows: the lone byte is a character
        {"anything", 0, nullptr},  // no room for a terminator: nothing is written
    };
    for (const Case& c : cases) {
        char dst[16];
        memset(dst, 'X', sizeof dst);
        EXPECT_EQ(CopySjisTruncated(dst, c.src, c.n), dst);
        if (c.expected) {
            EXPECT_STREQ(dst, c.expected) << c.src << " n=" << c.n;
        }
        for (int i = c.n; i < 16; ++i)
            ASSERT_EQ(dst[i], 'X') << "byte " << i << " written for n=" << c.n;
    }
}

TEST(CopySjisTruncatedTest, PadsShortSourcesWithZeros) {
    char dst[8];
    memset(dst, 'X', sizeof dst);
    CopySjisTruncated(dst, "abc", 5);
    EXPECT_EQ(std::string(dst, 5), std::string("abc\0\0", 5));
    EXPECT_EQ(dst[5], 'X');
}

TEST(CopySjisTruncatedTest, LongDoubleByteTextStopsAtTheLimit) {
    std::string src;
    for (int i = 0; i < 60; ++i)
        src += "\x83\x41"; // ア
    for (int n : {63, 79, 64}) {
        std::string dst(100, 'X');
        CopySjisTruncated(dst.data(), src.c_str(), n);
        size_t len = strlen(dst.c_str());
        EXPECT_LE(len, static_cast<size_t>(n - 1));
        EXPECT_EQ(len % 2, 0u) << "a character was split for n=" << n;
        EXPECT_EQ(dst[n], 'X');
    }
}

TEST(LowercasePathTest, LeavesTrailBytesAlone) {
    char buf[MAX_PATH];
    strcpy(buf, "C:\\PROGRAM\\\x83\x41.EXE"); // ア is 83 41
    LowercasePath(buf);
    EXPECT_STREQ(buf, "c:\\program\\\x83\x41.exe");
    strcpy(buf, "\xB1\xC4Z\x80Q");
    LowercasePath(buf);
    EXPECT_STREQ(buf, "\xB1\xC4z\x80q");
    // A lead byte just before the terminator ends the walk there: what lies past it is no path.
    char tail[] = "AB\x83\0CD";
    LowercasePath(tail);
    EXPECT_EQ(std::string(tail, 6), std::string("ab\x83\0CD", 6));
}

class ModulePathTest : public ::testing::Test {
  protected:
    void SetUp() override { winsim::control::Reset(); }
};

TEST_F(ModulePathTest, ReplacesTheExtensionAndLowerCases) {
    struct Case {
        const char* exe;
        const char* ext;
        const char* expected;
    } cases[] = {
        {"C:\\Tools\\Player.EXE", ".ini", "c:\\tools\\player.ini"},
        {"C:\\Tools\\Player.EXE", nullptr, "c:\\tools\\player.exe"},
        {"C:\\Dir.d\\Prog", ".ini", "c:\\dir.d\\prog.ini"},
        {"C:\\A\\my.cd.player.exe", ".ini", "c:\\a\\my.cd.player.ini"},
        {"D:\\\x95\x5C\\TOOL.EXE", ".ini", "d:\\\x95\x5C\\tool.ini"},
    };
    for (const Case& c : cases) {
        winsim::control::SetModulePath(c.exe);
        char buf[MAX_PATH];
        ASSERT_EQ(GetModulePath(buf, c.ext), 1) << c.exe;
        EXPECT_STREQ(buf, c.expected);
    }
}

TEST_F(ModulePathTest, FailsWithoutAPath) {
    winsim::control::SetModulePath("");
    char buf[MAX_PATH] = "untouched";
    EXPECT_EQ(GetModulePath(buf, ".ini"), 0);
    EXPECT_STREQ(buf, "untouched");
}

TEST_F(ModulePathTest, NeverWritesPastItsBuffer) {
    // 257 bytes without an extension: the ".ini" would need 262 bytes.
    std::string exe = "C:\\" + std::string(254, 'a');
    winsim::control::SetModulePath(exe);
    char buf[MAX_PATH + 16];
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(GetModulePath(buf, ".ini"), 0);
    for (size_t i = MAX_PATH; i < sizeof buf; ++i)
        ASSERT_EQ(buf[i], 'X');

    // One byte shorter still does not fit: 256 bytes, ".ini" and the terminator are 261.
    winsim::control::SetModulePath("C:\\" + std::string(253, 'a'));
    EXPECT_EQ(GetModulePath(buf, ".ini"), 0);

    // Exactly fitting: 255 bytes of path less ".exe" plus ".ini" and the terminator is 260.
    exe = "C:\\" + std::string(252, 'b') + ".exe";
    winsim::control::SetModulePath(exe);
    ASSERT_EQ(GetModulePath(buf, ".ini"), 1);
    EXPECT_EQ(strlen(buf), 259u);
}

TEST_F(ModulePathTest, APathCutByTheSystemIsNoPath) {
    winsim::control::SetModulePath("C:\\" + std::string(300, 'c') + ".exe");
    char buf[MAX_PATH];
    EXPECT_EQ(GetModulePath(buf, nullptr), 0);
}

TEST(Cp932LiteralTest, JapaneseLiteralsAreCodePage932Bytes) {
    const char* repeat = "リピート";
    EXPECT_EQ(std::string(repeat), std::string("\x83\x8A\x83\x73\x81\x5B\x83\x67"));
}

} // namespace
