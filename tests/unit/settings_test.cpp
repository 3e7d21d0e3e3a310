// The settings file: where it lives, what is read from it, what is written back.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <winsim/control.h>

#include <string>

namespace {

const char kIni[] = "C:\\Tools\\Player.ini";

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        winsim::control::Reset();
        winsim::control::SetModulePath("C:\\Tools\\Player.EXE");
    }
    static std::string File() {
        std::string bytes;
        winsim::control::ReadFile(kIni, &bytes);
        return bytes;
    }
    static PlayerSettings Read() {
        PlayerSettings s{-99, -99};
        ReadSettings(&s);
        return s;
    }
};

TEST_F(SettingsTest, DefaultsWithoutAFile) {
    PlayerSettings s = Read();
    EXPECT_EQ(s.repeat, 1);
    EXPECT_EQ(s.playMode, 2);
    EXPECT_FALSE(winsim::control::FileExists(kIni)) << "reading must not create the file";
}

TEST_F(SettingsTest, WritingCreatesTheFileBesideTheProgram) {
    PlayerSettings s{2, 1};
    WriteSettings(&s);
    EXPECT_EQ(File(), "[Sorvintal]\r\nリピート=1\r\n再生方法=2\r\n");
    // The settings path is lower-cased; the simulated file system, like the real one, does not
    // care, but the call must name it so.
    auto writes = winsim::control::CallsTo("WritePrivateProfileStringA");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_NE(writes[0].text.find("c:\\tools\\player.ini"), std::string::npos);
    EXPECT_NE(writes[0].text.find("リピート"), std::string::npos) << "repeat is written first";
}

struct ValueCase {
    const char* repeatText;
    const char* modeText;
    int repeat;
    int playMode;
};

class SettingsValueTest : public SettingsTest, public ::testing::WithParamInterface<ValueCase> {};

// Longer than the reader's buffer: its first MAX_PATH - 1 bytes read as 0, the number is 5.
const std::string kLongNumber = std::string(300, '0') + "5";

TEST_P(SettingsValueTest, ReadsWhatTheFileHolds) {
    const ValueCase& c = GetParam();
    std::string file = "[Sorvintal]\r\n";
    if (c.repeatText)
        file += std::string("リピート=") + c.repeatText + "\r\n";
    if (c.modeText)
        file += std::string("再生方法=") + c.modeText + "\r\n";
    winsim::control::WriteFile(kIni, file);
    PlayerSettings s = Read();
    EXPECT_EQ(s.repeat, c.repeat);
    EXPECT_EQ(s.playMode, c.playMode);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsValueTest,
    ::testing::Values(ValueCase{"0", "1", 0, 1}, ValueCase{"7", "3", 7, 3},
                      ValueCase{"1", "2abc", 1, 2}, ValueCase{"abc", "abc", 1, 2},
                      ValueCase{"", "", 1, 2}, ValueCase{nullptr, "0", 1, 0},
                      ValueCase{"0", nullptr, 0, 2}, ValueCase{"  -1", "+5", -1, 5},
                      ValueCase{"2147483647", "-2147483648", 2147483647, -2147483647 - 1},
                      // Beyond 32 bits: no number, so the default (a defined result).
                      ValueCase{"2147483648", "99999999999999999999", 1, 2},
                      ValueCase{"-2147483649", "-", 1, 2},
                      // Cut by the reader's buffer: not the number the file holds.
                      ValueCase{kLongNumber.c_str(), kLongNumber.c_str(), 1, 2},
                      ValueCase{kLongNumber.c_str() + 43, "3", 5, 3})); // 258 bytes: whole

TEST_F(SettingsTest, SectionAndKeyNamesMatchWithoutCase) {
    winsim::control::WriteFile(kIni, "[SORVINTAL]\nリピート = 0\n再生方法=1\n");
    PlayerSettings s = Read();
    EXPECT_EQ(s.repeat, 0);
    EXPECT_EQ(s.playMode, 1);
}

TEST_F(SettingsTest, UnusualValuesAreWrittenBackUnchanged) {
    PlayerSettings s{3, 7};
    WriteSettings(&s);
    EXPECT_EQ(File(), "[Sorvintal]\r\nリピート=1\r\n再生方法=3\r\n");
    s = PlayerSettings{-1, 0};
    WriteSettings(&s);
    EXPECT_EQ(File(), "[Sorvintal]\r\nリピート=0\r\n再生方法=-1\r\n");
}

TEST_F(SettingsTest, OtherSectionsAndKeysAreKept) {
    const std::string before = "; my notes\n[Other]\nリピート=5\n\n[Sorvintal]\nVolume=11\n"
                               "再生方法=1\n[Last]\nx=y";
    winsim::control::WriteFile(kIni, before);
    PlayerSettings s{2, 0};
    WriteSettings(&s);
    EXPECT_EQ(File(), "; my notes\n[Other]\nリピート=5\n\n[Sorvintal]\nVolume=11\n"
                      "再生方法=2\nリピート=0\r\n[Last]\nx=y");
}

TEST_F(SettingsTest, WithoutTheModulePathDefaultsAndNoWrite) {
    winsim::control::SetModulePath("");
    PlayerSettings s = Read();
    EXPECT_EQ(s.repeat, 1);
    EXPECT_EQ(s.playMode, 2);
    s = PlayerSettings{1, 0};
    WriteSettings(&s);
    EXPECT_TRUE(winsim::control::CallsTo("WritePrivateProfileStringA").empty());
}

TEST_F(SettingsTest, AFailedWriteIsIgnored) {
    winsim::control::DenyWrites("C:\\Tools");
    PlayerSettings s{1, 0};
    WriteSettings(&s);
    EXPECT_FALSE(winsim::control::FileExists(kIni));
    EXPECT_EQ(Read().playMode, 2);
}

TEST(ParseIniIntTest, FollowsDecimalConversion) {
    int v = 42;
    EXPECT_EQ(ParseIniInt("12x", &v), 1);
    EXPECT_EQ(v, 12);
    v = 42;
    EXPECT_EQ(ParseIniInt("x12", &v), 0);
    EXPECT_EQ(v, 42) << "no number leaves the value alone";
    EXPECT_EQ(ParseIniInt("\t\n\r\f\v 0009", &v), 1);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(ParseIniInt("- 1", &v), 0);
    EXPECT_EQ(ParseIniInt("2147483648", &v), 0);
}

} // namespace
