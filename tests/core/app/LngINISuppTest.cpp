#include "core/app/ConstUnit.h"
#include "core/app/LngINISupp.h"
#include "core/base/FileUtil.h"
#include "core/base/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

namespace {

// A window reduced to what the language file sees of it.
class FakeWindow : public TLngWindow {
public:
    enum Kind { Captioned, StatusBar, Untranslated };
    struct Control {
        std::string name;
        Kind kind;
        std::string caption;
        std::vector<std::string> panels;
    };

    FakeWindow(std::string name, std::vector<Control> controls)
        : name_(std::move(name)), controls_(std::move(controls)) {}

    std::string WindowName() const override { return name_; }
    int ControlCount() const override { return static_cast<int>(controls_.size()); }
    std::string ControlName(int i) const override { return controls_[i].name; }
    bool IsCaptioned(int i) const override { return controls_[i].kind == Captioned; }
    bool IsStatusBar(int i) const override { return controls_[i].kind == StatusBar; }
    std::string Caption(int i) const override { return controls_[i].caption; }
    void SetCaption(int i, const std::string& text) override { controls_[i].caption = text; }
    int PanelCount(int i) const override { return static_cast<int>(controls_[i].panels.size()); }
    std::string PanelText(int i, int p) const override { return controls_[i].panels[p]; }
    void SetPanelText(int i, int p, const std::string& text) override { controls_[i].panels[p] = text; }

    Control& operator[](const std::string& name)
    {
        for (auto& c : controls_)
            if (c.name == name)
                return c;
        throw std::out_of_range(name);
    }

private:
    std::string name_;
    std::vector<Control> controls_;
};

FakeWindow MakeWindow()
{
    return FakeWindow("MainForm", {
        {"btnPlues", FakeWindow::Captioned, "Plues", {}},
        {"edtNumber", FakeWindow::Untranslated, "123", {}},
        {"lblEmpty", FakeWindow::Captioned, "", {}},
        {"lblTwoLines", FakeWindow::Captioned, "first\r\nsecond", {}},
        {"StatusBar", FakeWindow::StatusBar, "", {"ready", "", "COM1"}},
        {"btnSettings", FakeWindow::Captioned, "Settings", {}},
        {"", FakeWindow::Captioned, "unnamed", {}},
    });
}

class Captions : public ::testing::Test {
protected:
    void SetUp() override { InitProgramLocation(dir.File("morvane-tessel")); }

    void ApplyFile(FakeWindow& window, const std::string& content)
    {
        dir.Write("L.lng", content);
        lng.SetLanguageFile("L.lng");
        lng.ApplyCaptions(window);
    }

    TempDir dir;
    TLngINISupp lng;
};

} // namespace

TEST_F(Captions, LanguageFileIsLookedUpInTheProgramFolder)
{
    lng.SetLanguageFile("/somewhere/else/Bulgarian.lng");
    EXPECT_EQ(lng.LanguageFile(), dir.File("Bulgarian.lng"));
    lng.SetLanguageFile("German.lng");
    EXPECT_EQ(lng.LanguageFile(), dir.File("German.lng"));
}

TEST_F(Captions, WithoutALanguageTheDesignCaptionsFillDefaultLng)
{
    FakeWindow w = MakeWindow();
    lng.TranslateControl(w);
    EXPECT_EQ(lng.LanguageFile(), dir.File("Default.lng"));

    TIniFile ini(dir.File("Default.lng"));
    // Component order; empty captions, empty panels, unnamed controls and
    // untranslated kinds are left out; a line break is stored as "|".
    const std::vector<std::string> keys = {"btnPlues", "lblTwoLines", "StatusBar.Panels[0]",
                                           "StatusBar.Panels[2]", "btnSettings"};
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"MainForm"});
    EXPECT_EQ(ini.ReadSection("MainForm"), keys);
    EXPECT_EQ(ini.ReadString("MainForm", "lblTwoLines", ""), "first|second");
    EXPECT_EQ(ini.ReadString("MainForm", "StatusBar.Panels[2]", ""), "COM1");

    // Read back: the same captions, CR LF restored.
    EXPECT_EQ(w["lblTwoLines"].caption, "first\r\nsecond");
    EXPECT_EQ(w["btnPlues"].caption, "Plues");
    EXPECT_EQ(w["edtNumber"].caption, "123");
}

TEST_F(Captions, ExistingKeysAreKeptWhateverTheirValueAndApplied)
{
    dir.Write("Lang.lng", "[MainForm]\nbtnPlues=\nedtNumber=999\nStatusBar.Panels[2]=Port\n");
    lng.SetLanguageFile("Lang.lng");
    FakeWindow w = MakeWindow();
    lng.TranslateControl(w);

    TIniFile ini(dir.File("Lang.lng"));
    EXPECT_EQ(ini.ReadString("MainForm", "btnPlues", "absent"), "");
    EXPECT_EQ(ini.ReadString("MainForm", "btnSettings", ""), "Settings");
    EXPECT_EQ(w["btnPlues"].caption, "");            // an empty translation is applied
    EXPECT_EQ(w["edtNumber"].caption, "123");        // not a translated kind
    EXPECT_EQ(w["StatusBar"].panels[2], "Port");
}

TEST_F(Captions, NextLanguageLackingAKeyReceivesTheCaptionShownNow)
{
    dir.Write("A.lng", "[MainForm]\nbtnPlues=Artikel\n");
    dir.Write("B.lng", "[MainForm]\nbtnSettings=Reglages\n");
    FakeWindow w = MakeWindow();
    lng.SetLanguageFile("A.lng");
    lng.TranslateControl(w);
    lng.SetLanguageFile("B.lng");
    lng.TranslateControl(w);
    EXPECT_EQ(w["btnPlues"].caption, "Artikel");
    EXPECT_EQ(w["btnSettings"].caption, "Reglages");
    EXPECT_EQ(TIniFile(dir.File("B.lng")).ReadString("MainForm", "btnPlues", ""), "Artikel");
}

TEST_F(Captions, SectionAndKeyNamesMustMatchInLetterCase)
{
    FakeWindow w = MakeWindow();
    ApplyFile(w, "[mainform]\nbtnPlues=X\n[Other]\nbtnPlues=Y\n");
    EXPECT_EQ(w["btnPlues"].caption, "Plues");
    ApplyFile(w, "[MainForm]\nBTNPLUES=X\nbtnSettings=Z\n");
    EXPECT_EQ(w["btnPlues"].caption, "Plues");
    EXPECT_EQ(w["btnSettings"].caption, "Z");
}

TEST_F(Captions, StatusBarKeysAddressOnePanelByOneDigit)
{
    struct Case {
        const char* key;
        int panel; // -1: no panel changes
    };
    const Case cases[] = {
        {"StatusBar.Panels[1]", 1},
        {"StatusBar.Panels[12]", 1},    // only the first digit counts
        {"StatusBar.x[3].Panels[2]", 2}, // the last "[" counts
        {"StatusBar.Text", 0},          // no "[": panel 0
        {"StatusBar.Panels[7]", -1},    // beyond the bar's panels
        {"StatusBar", -1},              // no "." : names no bar
        {"statusbar.Panels[1]", -1},
        {"Other.Panels[1]", -1},
    };
    for (const auto& c : cases) {
        FakeWindow w = MakeWindow();
        ApplyFile(w, std::string("[MainForm]\n") + c.key + "=new|text\n");
        const std::vector<std::string> before = MakeWindow()["StatusBar"].panels;
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(w["StatusBar"].panels[p], p == c.panel ? "new\r\ntext" : before[p])
                << c.key << " panel " << p;
    }
}

TEST_F(Captions, StatusBarKeyWithoutADigitEndsTheTranslation)
{
    const std::pair<const char*, const char*> cases[] = {
        {"StatusBar.Panels[x]", "'x' is not a valid integer value"},
        {"StatusBar.Panels[", "'' is not a valid integer value"},
    };
    for (const auto& [key, message] : cases) {
        FakeWindow w = MakeWindow();
        try {
            ApplyFile(w, std::string("[MainForm]\nbtnPlues=Before\n") + key + "=v\nbtnSettings=After\n");
            ADD_FAILURE() << key << ": no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
        EXPECT_EQ(w["btnPlues"].caption, "Before") << key;
        EXPECT_EQ(w["btnSettings"].caption, "Settings") << key;
    }
}

TEST_F(Captions, ReadOnlyFileFailsOnlyWhenACaptionIsMissing)
{
    const std::string complete = "[MainForm]\nbtnPlues=P\nlblTwoLines=T\nStatusBar.Panels[0]=S0\n"
                                 "StatusBar.Panels[2]=S2\nbtnSettings=Z\n";
    dir.Write("Ro.lng", complete);
    ASSERT_EQ(::chmod(dir.File("Ro.lng").c_str(), 0444), 0);
    lng.SetLanguageFile("Ro.lng");
    FakeWindow w = MakeWindow();
    lng.TranslateControl(w);
    EXPECT_EQ(w["btnSettings"].caption, "Z");

    FakeWindow bigger("MainForm", {{"btnPlues", FakeWindow::Captioned, "Plues", {}},
                                   {"btnNew", FakeWindow::Captioned, "New", {}}});
    try {
        lng.TranslateControl(bigger);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("Ro.lng"));
    }
    EXPECT_EQ(bigger["btnPlues"].caption, "Plues"); // pass 2 never ran
    EXPECT_EQ(dir.Read("Ro.lng"), complete);
}

// The shipped translation already holds the captions of the main window and
// the message box.
TEST_F(Captions, BulgarianFileCoversTheExistingWindows)
{
    std::string content;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, content));
    dir.Write("Bulgarian.lng", content);
    lng.SetLanguageFile("Bulgarian.lng");

    using C = FakeWindow::Control;
    FakeWindow mainForm("MainForm", {C{"btnPlues", FakeWindow::Captioned, "Plues", {}},
                                     C{"btnEcrSettings", FakeWindow::Captioned, "ECR Settings", {}},
                                     C{"btnSettings", FakeWindow::Captioned, "Settings", {}},
                                     C{"lblVersionLabel", FakeWindow::Captioned, "---", {}},
                                     C{"lblLanguageLabel", FakeWindow::Captioned, "Language:", {}}});
    FakeWindow box("MyMessageForm", {C{"btnYes", FakeWindow::Captioned, "&Yes", {}},
                                     C{"btnNo", FakeWindow::Captioned, "&No", {}},
                                     C{"btnOk", FakeWindow::Captioned, "&OK", {}},
                                     C{"btnCancel", FakeWindow::Captioned, "&Cancel", {}},
                                     C{"btnAbort", FakeWindow::Captioned, "&Abort", {}},
                                     C{"btnRetry", FakeWindow::Captioned, "&Retry", {}},
                                     C{"btnIgnore", FakeWindow::Captioned, "&Ignore", {}}});
    lng.TranslateControl(mainForm);
    lng.TranslateControl(box);
    EXPECT_EQ(dir.Read("Bulgarian.lng"), content);

    for (FakeWindow* w : {&mainForm, &box})
        for (int i = 0; i < w->ControlCount(); ++i) {
            const std::string c = w->Caption(i);
            if (w->ControlName(i) == "lblVersionLabel")
                continue; // set by the program, not translated
            bool cyrillic = false;
            for (char ch : c)
                cyrillic |= static_cast<unsigned char>(ch) >= 0xC0;
            EXPECT_TRUE(cyrillic) << w->ControlName(i);
            if (w == &box) {
                EXPECT_NE(c.find('&'), std::string::npos) << w->ControlName(i);
            }
        }
}
