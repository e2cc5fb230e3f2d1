#include "core/base/CodePage.h"
#include "core/base/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(TryStrToInt, ReadsDecimalAndBothHexPrefixesAndRefusesTheRest)
{
    struct Case { const char* text; bool ok; int value; } cases[] = {
        {"17", true, 17}, {"-5", true, -5}, {"$1F", true, 31}, {"0x1f", true, 31},
        {"0X10", true, 16}, {" 3", true, 3}, {"3 ", true, 3}, {"3\t", true, 3}, {" ", false, 0}, {"2147483647", true, 2147483647},
        {"$FFFFFFFF", true, -1}, {"", false, 0}, {"abc", false, 0}, {"3 4", false, 0},
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

TEST(IniFile, MatchesNamesWithoutCaseAndKeepsEverythingElseByteForByte)
{
    TempDir dir;
    dir.Write("a.ini", "; note\r\n[Other]\r\nKeep = this \r\n\r\n[Sec]\r\nB=2\r\nA=1\r\n\r\n[Last]\r\nZ=0");
    {
        TIniFile ini(dir.File("a.ini"));
        EXPECT_EQ(ini.ReadString("other", "KEEP", "x"), "this ") << "trailing blanks are part of the value";
        EXPECT_EQ(ini.ReadInteger("SEC", "b", 0), 2);
        ini.WriteString("SEC", "c", "3");
        ini.WriteString("sec", "a", "10");
        ini.WriteString("New", "k", "v ");
        std::string err;
        ASSERT_TRUE(ini.UpdateFile(err));
    }
    EXPECT_EQ(dir.Read("a.ini"), "; note\r\n[Other]\r\nKeep = this \r\n\r\n[Sec]\r\nB=2\r\nA=10\r\nc=3\r\n\r\n"
                                 "[Last]\r\nZ=0\r\n\r\n[New]\r\nk=v \r\n");
    TIniFile again(dir.File("a.ini"));
    EXPECT_EQ(again.ReadSections(), (std::vector<std::string>{"Other", "Sec", "Last", "New"}));
    EXPECT_EQ(again.ReadSection("sec"), (std::vector<std::string>{"B", "A", "c"}));
    EXPECT_EQ(again.ReadString("new", "K", ""), "v ");
    EXPECT_FALSE(again.ValueExists("Sec", "Keep"));
}

TEST(IniFile, ANewFileGetsPlainLines)
{
    TempDir dir;
    TIniFile ini(dir.File("n.ini"));
    EXPECT_EQ(ini.ReadString("S", "K", "def"), "def");
    ini.WriteString("S", "K", "1");
    ini.WriteString("T", "L", "2");
    std::string err;
    ASSERT_TRUE(ini.UpdateFile(err));
    EXPECT_EQ(dir.Read("n.ini"), "[S]\nK=1\n\n[T]\nL=2\n");
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

TEST(IniFile, ALinkedFileIsWrittenThroughItsLink)
{
    TempDir dir;
    dir.Write("real.ini", "[S]\nK=1\n");
    ASSERT_EQ(symlink(dir.File("real.ini").c_str(), dir.File("link.ini").c_str()), 0);
    TIniFile ini(dir.File("link.ini"));
    ini.WriteString("S", "K", "2");
    std::string err;
    ASSERT_TRUE(ini.UpdateFile(err));
    EXPECT_EQ(dir.Read("real.ini"), "[S]\nK=2\n");
    struct stat st {};
    ASSERT_EQ(lstat(dir.File("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(CodePage, RoundTripsCyrillicAndRefusesWhatItCannotHold)
{
    const std::string cp = "\xC5\xE5 \xB9";  // Ее №
    const std::string utf8 = CodePageToUtf8(cp);
    EXPECT_EQ(utf8, "\xD0\x95\xD0\xB5 \xE2\x84\x96");
    EXPECT_EQ(Utf8ToCodePage(utf8), cp);
    EXPECT_EQ(Utf8ToCodePage("\xE4\xB8\xAD"), std::nullopt);  // a CJK character
    EXPECT_EQ(Utf8ToCodePage("a\xE4\xB8\xAD\xC2\x98"), std::nullopt);

    // Every byte comes back, the unassigned 0x98 included.
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string allUtf8 = CodePageToUtf8(all);
    EXPECT_NE(allUtf8.find("\xC2\x98"), std::string::npos);
    EXPECT_EQ(Utf8ToCodePage(allUtf8), all);
    EXPECT_EQ(Utf8ToCodePage("\xC2\x98\xC2\x98x"), "\x98\x98x");
    EXPECT_EQ(Utf8ToCodePage("\xFF"), std::nullopt);          // not UTF-8
}

