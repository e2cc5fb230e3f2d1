// An installed program: its own folder is read-only, its settings and
// language files live in the user's folder, and the language files it ships
// in share/ are copied there without touching the user's own.

#include "core/base/ProgramDirs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* x = std::getenv("XDG_CONFIG_HOME"))
            savedXdg_ = x, hadXdg_ = true;
        std::filesystem::create_directories(tmp.File("usr/bin"));
        std::filesystem::create_directories(tmp.File("usr/share/morvane-tessel"));
        tmp.Write("usr/share/morvane-tessel/Bulgarian.lng", "[App Messages]\r\nS_Error=shipped\r\n");
        tmp.Write("usr/share/morvane-tessel/German.lng", "[App Messages]\r\n");
        tmp.Write("usr/share/morvane-tessel/README.txt", "not a language");
        ::setenv("XDG_CONFIG_HOME", tmp.File("config").c_str(), 1);
    }
    void TearDown() override
    {
        ::chmod(tmp.File("usr/bin").c_str(), 0755);
        if (hadXdg_)
            ::setenv("XDG_CONFIG_HOME", savedXdg_.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }
    bool Exists(const std::string& name) const { return ::access(tmp.File(name).c_str(), F_OK) == 0; }

    TempDir tmp;
    std::string savedXdg_;
    bool hadXdg_ = false;
};

TEST_F(InstalledProgram, ShippedLanguagesAreCopiedAndTheUsersOwnAreKept)
{
    ::chmod(tmp.File("usr/bin").c_str(), 0555);
    InitProgramDirs(tmp.File("usr/bin/morvane-tessel"));
    ASSERT_EQ(ConfigDir(), tmp.File("config/morvane-tessel/"));
    EXPECT_EQ(ShippedDataDir(), tmp.File("usr/share/morvane-tessel/"));
    tmp.Write("config/morvane-tessel/Bulgarian.lng", "[App Messages]\r\nS_Error=edited by the user\r\n");

    EXPECT_TRUE(CopyMissingShippedFiles(".lng").empty());
    EXPECT_EQ(tmp.Read("config/morvane-tessel/Bulgarian.lng"), "[App Messages]\r\nS_Error=edited by the user\r\n");
    EXPECT_EQ(tmp.Read("config/morvane-tessel/German.lng"), "[App Messages]\r\n");
    EXPECT_FALSE(Exists("config/morvane-tessel/README.txt"));

    // A link of the user's, even one that points nowhere, is the user's file.
    const std::string german = tmp.File("config/morvane-tessel/German.lng");
    ASSERT_EQ(::unlink(german.c_str()), 0);
    ASSERT_EQ(::symlink("/nonexistent/German.lng", german.c_str()), 0);
    EXPECT_TRUE(CopyMissingShippedFiles(".lng").empty());
    struct stat st {};
    ASSERT_EQ(::lstat(german.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A file the user deleted comes back at the next start.
    ASSERT_EQ(::unlink(german.c_str()), 0);
    EXPECT_TRUE(CopyMissingShippedFiles(".lng").empty());
    EXPECT_EQ(tmp.Read("config/morvane-tessel/German.lng"), "[App Messages]\r\n");
}

TEST_F(InstalledProgram, AWritableProgramFolderGetsTheShippedFilesBesideTheProgram)
{
    InitProgramDirs(tmp.File("usr/bin/morvane-tessel"));
    ASSERT_EQ(ConfigDir(), tmp.File("usr/bin/"));
    EXPECT_TRUE(CopyMissingShippedFiles(".lng").empty());
    EXPECT_EQ(tmp.Read("usr/bin/Bulgarian.lng"), "[App Messages]\r\nS_Error=shipped\r\n");
    EXPECT_FALSE(Exists("config/morvane-tessel"));
}

TEST_F(InstalledProgram, AUserFolderThatCannotBeWrittenIsReportedPerFile)
{
    ::chmod(tmp.File("usr/bin").c_str(), 0555);
    InitProgramDirs(tmp.File("usr/bin/morvane-tessel"));
    // Permission bits do not stop root; a file in the folder's place does.
    std::filesystem::remove(tmp.File("config/morvane-tessel"));
    tmp.Write("config/morvane-tessel", "");
    const auto errors = CopyMissingShippedFiles(".lng");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Unable to write to " + tmp.File("config/morvane-tessel/"), 0), 0u) << errors[0];
}

TEST_F(InstalledProgram, ABuildTreeHasNothingToCopy)
{
    std::filesystem::create_directories(tmp.File("build/bin"));
    InitProgramDirs(tmp.File("build/bin/morvane-tessel"));
    EXPECT_TRUE(CopyMissingShippedFiles(".lng").empty());
    EXPECT_EQ(std::filesystem::directory_iterator(tmp.File("build/bin")), std::filesystem::directory_iterator());
}

} // namespace
