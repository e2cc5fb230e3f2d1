// The link's pure parts: checksum, packet bytes, tokens, line lists, error
// texts and how error lines accumulate.

#include "core/base/CodePage.h"
#include "core/link/LintelCommUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkCrc, CheckValueAndPacketBytes)
{
    EXPECT_EQ(LinkCrc16("123456789", 9), 0xFEE8);
    EXPECT_EQ(BuildPacket(1, 'S', "ping 111"), "\x1B\x1B" "1S0008ping 111CCC2");
    EXPECT_EQ(BuildPacket(2, 'O', ""), "\x1B\x1B" "2O00008FF1");
    // FRAME is one uppercase digit, LEN four uppercase digits.
    const std::string p = BuildPacket(15, 'Q', std::string(0xABC, 'x'));
    EXPECT_EQ(p.substr(2, 6), "FQ0ABC");
    EXPECT_EQ(p.size(), 2 + 6 + 0xABC + 4u);
}

TEST(LinkNextToken, QuotesDelimitersAndRemoval)
{
    struct Case {
        std::string text, token, restAfterRemove;
    } cases[] = {
        { "ping 111", "ping", "111" },
        { "ls", "ls", "" },
        { "\"a b\" c", "a b", "c" },
        { "a\"b c\"d e", "ab cd", "e" },
        { " x", "", "x" },
        { "", "", "" },
        { "\"open", "open", "" },
    };
    for (const auto& c : cases) {
        std::string keep = c.text;
        EXPECT_EQ(NextToken(keep, ' ', '"', false), c.token) << c.text;
        EXPECT_EQ(keep, c.text);
        std::string cut = c.text;
        EXPECT_EQ(NextToken(cut, ' ', '"', true), c.token) << c.text;
        EXPECT_EQ(cut, c.restAfterRemove) << c.text;
    }
}

TEST(LinkLines, ToDataAndBack)
{
    EXPECT_EQ(LinesToData({}), "");
    EXPECT_EQ(LinesToData({ "" }), "\r\n");
    EXPECT_EQ(LinesToData({ "a", "b" }), "a\r\nb\r\n");

    using V = std::vector<std::string>;
    EXPECT_EQ(DataToLines(""), V {});
    EXPECT_EQ(DataToLines("\r\n"), V { "" });
    EXPECT_EQ(DataToLines("a\r\nb"), (V { "a", "b" }));
    EXPECT_EQ(DataToLines("a\r\nb\r\n"), (V { "a", "b" }));
    EXPECT_EQ(DataToLines("a\rb\nc\n\rd"), (V { "a", "b", "c", "", "d" }));
    EXPECT_EQ(DataToLines("a\r\n\r\n"), (V { "a", "" }));
    EXPECT_EQ(DataToLines(std::string("ab\r\ncd\0ef\r\ngh", 12)), (V { "ab", "cd" }));
}

TEST(LinkErrorTexts, BothLanguagesAndUnknownNumbers)
{
    const char* english[] = { "", "Unexpected system error!", "Fail opening com port: ", "COM port is not active.",
                              "Error writing to COM.", "Device does not respond.", "Invalid responce from device.",
                              "Device respond with wrong frame.", "Device cancel data receiving.",
                              "Device respond with retry request", "Device is bussy. Try again later.",
                              "Error in packet. Invalid checksum.", "Communication error." };
    const char* bulgarian[] = { "", "Неочаквана системна грешка!", "Неуспешно отваряне на COM порта: ",
                                "COM порта не е отворен.", "Неуспешно писане в COM порта.",
                                "Устройството не отговаря.", "Устройството връща невалиден отговор.",
                                "Устройството връща грешен фрейм.", "Устройството отказва приемането на данните.",
                                "Устройството иска повторение на данните",
                                "Устройството e заето. опитайте по-късно.",
                                "Грешка в пакет. Невалидна чексума.", "Грешка при комуникация." };
    for (int n = 0; n <= 12; ++n) {
        EXPECT_EQ(LinkErrorText(0, n), english[n]) << n;
        const auto cp = Utf8ToCodePage(bulgarian[n]);
        ASSERT_TRUE(cp) << n;
        EXPECT_EQ(LinkErrorText(1, n), *cp) << n;
        EXPECT_EQ(LinkErrorText(2, n), "") << n;
    }
    EXPECT_EQ(LinkErrorText(0, 13), "Unspecified error! Code:13");
    EXPECT_EQ(LinkErrorText(0, -4), "Unspecified error! Code:-4");
    EXPECT_EQ(CodePageToUtf8(LinkErrorText(1, 99)), "Непозната грешка! Код:99");
    EXPECT_EQ(LinkErrorText(7, 99), "");
    // The second word of number 10 is a Latin e.
    EXPECT_NE(LinkErrorText(1, 10).find(" e "), std::string::npos);
}

TEST(LinkAddError, JoiningRules)
{
    TLintelComm link(0);
    link.AddError(0, "[detail]");
    EXPECT_EQ(link.LastError(), "[detail]");
    link.AddError(13, "");
    EXPECT_EQ(link.LastError(), "[detail]\r\nUnspecified error! Code:13");

    link.ClearLastError();
    link.AddError(2, "[COM1]\r\nUnable to open com port (win error code: 2)");
    link.AddError(5, "Timeout! (Wait SYNC) [R]");
    EXPECT_EQ(link.LastError(), "Fail opening com port:  [COM1]\r\nUnable to open com port (win error code: 2)"
                                "\r\nDevice does not respond. Timeout! (Wait SYNC) [R]");

    // Nothing to say adds nothing, and the account never ends in a line break.
    link.AddError(0, "");
    EXPECT_EQ(link.LastError().substr(link.LastError().size() - 3), "[R]");

    TLintelComm silent(2);
    silent.AddError(5, "");
    silent.AddError(5, "only detail");
    silent.AddError(11, "[1234/ABCD]");
    EXPECT_EQ(silent.LastError(), "only detail\r\n[1234/ABCD]");
}

} // namespace
