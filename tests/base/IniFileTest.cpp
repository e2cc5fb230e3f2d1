#include "base/CodePage.h"
#include "base/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(TryStrToInt, ReadsDecimalAndBothHexPrefixesAndRefusesTheRest)
{
    struct Case { const char* text; bool ok; int value; } cases[] = {
        {"17", true, 17}, {"-5", true, -5}, {"$1F", true, 31}, {"0x1f", true, 31},
        {"0X10", true, 16}, {" 3", true, 3}, {"2147483647", true, 2147483647},
        {"$FFFFFFFF", true, -1}, {"", false, 0}, {"abc", false, 0}, {"3 ", false, 0},
        {"12a", false, 0}, {"2147483648", false, 0}, {"$", false, 0}, {"0x", false, 0},
        {"1.5", false, 0},
    };
    for (const auto& c : cases) {
        int v = 0;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(IniFile, MatchesNamesWithoutCaseAndKeepsForeignContentAndOrder)
{
    TempDir dir;
    dir.Write("a.ini", "; note\n[Other]\nKeep=this\n[Sec]\nB=2\nA=1\n");
    {
        TIniFile ini(dir.File("a.ini"));
        EXPECT_EQ(ini.ReadString("sec", "a", "x"), "1");
        EXPECT_EQ(ini.ReadInteger("SEC", "B", 0), 2);
        ini.WriteString("SEC", "c", "3");
        ini.WriteString("sec", "a", "10");
        std::string err;
        ASSERT_TRUE(ini.UpdateFile(err));
    }
    const std::string written = dir.Read("a.ini");
    EXPECT_NE(written.find("; note"), std::string::npos);
    EXPECT_NE(written.find("[Other]\nKeep=this\n"), std::string::npos);
    EXPECT_NE(written.find("[Sec]\nB=2\nA=10\nc=3\n"), std::string::npos);
    TIniFile again(dir.File("a.ini"));
    std::string err;
    ASSERT_TRUE(again.UpdateFile(err));
    EXPECT_EQ(dir.Read("a.ini"), written) << "a second save must not drift";
    EXPECT_EQ(again.ReadSections(), (std::vector<std::string>{"Other", "Sec"}));
    EXPECT_EQ(again.ReadSection("sec"), (std::vector<std::string>{"B", "A", "c"}));
}

TEST(IniFile, FailedWriteLeavesTheOldFileAndNamesIt)
{
    TempDir dir;
    dir.Write("ro.ini", "[S]\nK=old\n");
    chmod(dir.File("ro.ini").c_str(), 0444);
    TIniFile ini(dir.File("ro.ini"));
    ini.WriteString("S", "K", "new");
    std::string err;
    EXPECT_FALSE(ini.UpdateFile(err));
    EXPECT_EQ(err, "Unable to write to " + dir.File("ro.ini"));
    EXPECT_EQ(dir.Read("ro.ini"), "[S]\nK=old\n");
}

TEST(CodePage, RoundTripsCyrillicAndRefusesWhatItCannotHold)
{
    const std::string cp = "\xC5\xE5 \xB9";  // Ее №
    const std::string utf8 = CodePageToUtf8(cp);
    EXPECT_EQ(utf8, "\xD0\x95\xD0\xB5 \xE2\x84\x96");
    EXPECT_EQ(Utf8ToCodePage(utf8), cp);
    EXPECT_EQ(Utf8ToCodePage("\xE4\xB8\xAD"), std::nullopt);  // a CJK character
    EXPECT_EQ(Utf8ToCodePage("\xFF"), std::nullopt);          // not UTF-8
}
