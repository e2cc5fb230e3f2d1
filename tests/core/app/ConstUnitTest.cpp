#include "core/app/ConstUnit.h"
#include "core/base/IniFile.h"
#include "core/link/MyCPort.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <optional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Each test gets its own program folder, as if the executable lived there.
class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettingsToDefaults();
        InitProgramLocation(dir.File("morvane-tessel"));
    }
    TempDir dir;
};

} // namespace

TEST_F(Settings, LiveBesideTheExecutableWithIniExtension)
{
    EXPECT_EQ(SettingsFileName(), dir.File("morvane-tessel.ini"));
    EXPECT_EQ(ConfigDir(), dir.Path());
    // The serial ports look for their comN links in the same folder.
    EXPECT_EQ(ComPortFolder(), dir.File("dosdevices/"));
    EXPECT_EQ(ComPortDevicePath(3), "/dev/ttyS2");
    InitProgramLocation(dir.File("tool.bin"));
    EXPECT_EQ(SettingsFileName(), dir.File("tool.ini"));
}

TEST_F(Settings, DefaultsWithoutAFileAndNothingIsWrittenByReading)
{
    Set_ComPort = 9;
    Set_FontName = "x";
    LoadProgramSettings();
    EXPECT_EQ(Set_LanguageFile, "");
    EXPECT_EQ(Set_FontName, "MS Sans Serif");
    EXPECT_EQ(Set_Charset, 1);
    EXPECT_EQ(Set_Database, "");
    EXPECT_EQ(Set_HiddenCols, "");
    EXPECT_EQ(Set_EcrNumb, 0);
    EXPECT_EQ(Set_ComPort, 1);
    EXPECT_FALSE(Set_OneECR);
    EXPECT_EQ(Set_EcrSpeed, 9600);
    struct stat st {};
    EXPECT_NE(stat(SettingsFileName().c_str(), &st), 0);
}

TEST_F(Settings, ReadsValuesWithTheirConversionRules)
{
    dir.Write("morvane-tessel.ini",
              "[programsettings]\nset_languagefile=Bulgarian.lng \nSet_Charset=$CC\nSet_HiddenCols=0101 \n"
              "[EcrSettings]\nSet_ComPort=COM3\nSet_OneECR=2\nSet_EcrNumb = 0x10 \nSet_EcrSpeed=\n");
    LoadProgramSettings();
    EXPECT_EQ(Set_LanguageFile, "Bulgarian.lng");
    EXPECT_EQ(Set_Charset, 204);
    EXPECT_EQ(Set_HiddenCols, "0101");
    EXPECT_EQ(Set_ComPort, 1) << "letters give the default";
    EXPECT_TRUE(Set_OneECR);
    EXPECT_EQ(Set_EcrNumb, 16);
    EXPECT_EQ(Set_EcrSpeed, 9600);

    ASSERT_TRUE(WriteEcrSettings());
    TIniFile ini(SettingsFileName());
    EXPECT_EQ(ini.ReadString("ECRSETTINGS", "Set_OneECR", ""), "1");
    EXPECT_EQ(ini.ReadString("ECRSETTINGS", "Set_ComPort", ""), "1");
}

TEST_F(Settings, WritesWholeSectionsInOrderAndLeavesForeignContentAlone)
{
    dir.Write("morvane-tessel.ini",
              "[Mine]\nkeep=me\n[ECRSETTINGS]\nOther=7\nSet_ComPort=4\n[MAIN]\nFlags=0\n");
    LoadProgramSettings();
    Set_EcrSpeed = 115200;
    ASSERT_TRUE(WriteEcrSettings());
    ASSERT_TRUE(WriteProgramSettings());

    TIniFile ini(SettingsFileName());
    EXPECT_EQ(ini.ReadString("Mine", "keep", ""), "me");
    EXPECT_EQ(ini.ReadString("MAIN", "Flags", ""), "0");
    EXPECT_EQ(ini.ReadSection("ECRSETTINGS"),
              (std::vector<std::string>{"Other", "Set_ComPort", "Set_EcrNumb", "Set_OneECR", "Set_EcrSpeed"}));
    EXPECT_EQ(ini.ReadSection("PROGRAMSETTINGS"),
              (std::vector<std::string>{"Set_LanguageFile", "Set_FontName", "Set_Charset", "Set_Database",
                                        "Set_HiddenCols"}));
    EXPECT_EQ(ini.ReadString("PROGRAMSETTINGS", "Set_FontName", ""), "MS Sans Serif");
    EXPECT_EQ(ini.ReadString("ECRSETTINGS", "Set_ComPort", ""), "4");
    EXPECT_EQ(ini.ReadString("ECRSETTINGS", "Set_EcrSpeed", ""), "115200");
}

TEST_F(Settings, AReadOnlyFileIsNotTouchedAndTheFailureIsNamed)
{
    const std::string before = "[ECRSETTINGS]\nSet_ComPort=2\n";
    dir.Write("morvane-tessel.ini", before);
    chmod(SettingsFileName().c_str(), 0444);
    LoadProgramSettings();
    Set_ComPort = 5;
    EXPECT_FALSE(WriteEcrSettings());
    EXPECT_EQ(SettingsError(), "Unable to write to " + SettingsFileName());
    EXPECT_EQ(dir.Read("morvane-tessel.ini"), before);
    EXPECT_EQ(Set_ComPort, 5) << "the variables keep their values";
}

TEST_F(Settings, AReadOnlyProgramFolderMovesThemToTheUserConfigFolder)
{
    // The environment is the process's; give it back for the tests after us.
    struct Restore {
        std::string name;
        std::optional<std::string> value;
        ~Restore() { value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str()); }
    };
    auto saved = [](const char* n) {
        const char* v = getenv(n);
        return Restore{n, v ? std::optional<std::string>(v) : std::nullopt};
    };
    Restore home0 = saved("HOME"), xdg0 = saved("XDG_CONFIG_HOME");
    TempDir home;
    const std::string exeDir = dir.File("ro/");
    mkdir(exeDir.c_str(), 0755);
    chmod(exeDir.c_str(), 0555);
    setenv("XDG_CONFIG_HOME", home.File("cfg").c_str(), 1);
    InitProgramLocation(exeDir + "morvane-tessel");
    EXPECT_EQ(ConfigDir(), home.File("cfg/morvane-tessel/"));
    EXPECT_EQ(SettingsFileName(), home.File("cfg/morvane-tessel/morvane-tessel.ini"));
    Set_ComPort = 3;
    EXPECT_TRUE(WriteEcrSettings());
    EXPECT_NE(home.Read("cfg/morvane-tessel/morvane-tessel.ini").find("Set_ComPort=3"), std::string::npos);

    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.File("h").c_str(), 1);
    mkdir(home.File("h").c_str(), 0755);
    InitProgramLocation(exeDir + "morvane-tessel");
    EXPECT_EQ(ConfigDir(), home.File("h/.config/morvane-tessel/"));
}
