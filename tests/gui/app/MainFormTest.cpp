#include "core/app/ConstUnit.h"
#include "gui/app/GuiText.h"
#include "gui/app/MainUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/base/FileUtil.h"
#include "core/base/IniFile.h"
#include "gui/ecrviews/EcrParamsUnit.h"
#include "gui/ecrviews/EcrSettingsUnit.h"
#include "gui/plu/PluListUnit.h"
#include "support/AbsentPort.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using View = TMainForm::TViewKind;

class MainForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitProgramLocation(dir.File("morvane-tessel"));
        ResetSettingsToDefaults();
        RestoreBuiltInMessages();
        // The register is not there (every port leads nowhere, so the
        // attempt fails at once); whatever the attempt shows is answered.
        LinkAllPortsAbsent(dir);
        answerer.AnswerRestWith(ModalAnswerer::Press("btnOk"));
    }
    void TearDown() override
    {
        form.reset();
        RestoreBuiltInMessages();
    }

    TMainForm& Create()
    {
        form = std::make_unique<TMainForm>();
        return *form;
    }
    QComboBox* Combo() { return form->findChild<QComboBox*>("LanguageCombo"); }
    QStringList ComboItems()
    {
        QStringList items;
        for (int i = 0; i < Combo()->count(); ++i)
            items << Combo()->itemText(i);
        items.sort();
        return items;
    }
    template <class T> T* Child(const char* name) { return form->findChild<T*>(name); }
    void Click(const char* button) { Child<QToolButton>(button)->click(); }

    TempDir dir;
    ModalAnswerer answerer;
    std::unique_ptr<TMainForm> form;
};

TEST(LanguageNameOf, DropsFolderAndLastExtension)
{
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/opt/tool/Bulgarian.lng", "Bulgarian"},
        {"Bulgarian.lng", "Bulgarian"},
        {"C:\\Tool\\English.lng", "English"},
        {"my.lang.lng", "my.lang"},
        {"Bulgarian", ""},
        {"/a.b/Bulgarian", ""},
        {".lng", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMainForm::LanguageNameOf(c.path), QString(c.name)) << c.path;
}

TEST_F(MainForm, DesignOfTheWindow)
{
    Create();
    EXPECT_EQ(form->objectName(), "MainForm");
    EXPECT_EQ(form->windowTitle(), "Morvane Tessel");
    EXPECT_EQ(form->size(), QSize(919, 504));
    for (const char* name : {"pnlMenu", "pnlMainPanel", "pnlTopPanel", "imgLogoImage", "bvl1",
                             "pnlBottomPanel", "bvlBottomLine", "lblVersionLabel",
                             "lblLanguageLabel", "LanguageCombo"})
        EXPECT_TRUE(form->findChild<QWidget*>(name)) << name;
    const struct {
        const char* name;
        const char* caption;
        int top;
    } buttons[] = {{"btnPlues", "Plues", 16}, {"btnEcrSettings", "ECR Settings", 120},
                   {"btnSettings", "Settings", 330}};
    for (const auto& b : buttons) {
        const auto* button = Child<QToolButton>(b.name);
        ASSERT_TRUE(button) << b.name;
        EXPECT_EQ(button->text(), b.caption);
        EXPECT_EQ(button->geometry().size(), QSize(105, 105));
        EXPECT_EQ(button->y(), b.top);
        EXPECT_EQ(button->iconSize(), QSize(48, 48));
        EXPECT_FALSE(button->icon().isNull());
    }
    EXPECT_EQ(Child<QLabel>("lblVersionLabel")->text(), "---");
    form->show();
    EXPECT_EQ(Child<QLabel>("lblVersionLabel")->text(), "Version : " APP_VERSION_TEXT);
    EXPECT_FALSE(Child<QWidget>("LanguageCombo")->isVisible());
    EXPECT_FALSE(Child<QWidget>("lblLanguageLabel")->isVisible());
    EXPECT_EQ(Child<QWidget>("pnlMenu")->width(), 121);
    EXPECT_EQ(Child<QWidget>("pnlTopPanel")->height(), 39);
    EXPECT_EQ(Child<QWidget>("pnlBottomPanel")->height(), 30);
    EXPECT_EQ(Child<QLabel>("imgLogoImage")->size(), QSize(128, 36));
}

TEST_F(MainForm, WithoutLanguageFilesOnlyDefaultIsListedAndNothingIsWritten)
{
    Create();
    EXPECT_EQ(ComboItems(), QStringList{"*default*"});
    EXPECT_EQ(Combo()->currentIndex(), 0);
    EXPECT_FALSE(FileExists(dir.File("Default.lng")));
    EXPECT_FALSE(FileExists(dir.File("morvane-tessel.ini")));
}

TEST_F(MainForm, LanguageFilesAreListedByName)
{
    dir.Write("Bulgarian.lng", "");
    dir.Write("English.LNG", "");
    dir.Write("two.dots.lng", "");
    dir.Write("notes.txt", "");
    dir.Write("Bulgarian", "");
    // Any directory entry counts, a folder too.
    mkdir(dir.File("Folder.lng").c_str(), 0700);
    mkdir(dir.File("plain").c_str(), 0700);
    Create();
    EXPECT_EQ(ComboItems(), QStringList({"Bulgarian", "English", "Folder", "two.dots"}));
    EXPECT_EQ(Combo()->currentIndex(), -1);
}

TEST_F(MainForm, MissingLanguageFileClearsTheSetting)
{
    dir.Write("morvane-tessel.ini",
              "[PROGRAMSETTINGS]\r\nSet_LanguageFile=Klingon.lng\r\n[Other]\r\nKeep=1\r\n");
    dir.Write("Bulgarian.lng", "");
    Create();
    EXPECT_EQ(Set_LanguageFile, "");
    const TIniFile ini(dir.File("morvane-tessel.ini"));
    EXPECT_TRUE(ini.ValueExists(kProgramSection, "Set_LanguageFile"));
    EXPECT_EQ(ini.ReadString(kProgramSection, "Set_LanguageFile", "?"), "");
    EXPECT_EQ(ini.ReadString(kProgramSection, "Set_FontName", ""), "MS Sans Serif");
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "1");
    EXPECT_EQ(Combo()->currentIndex(), -1);
}

TEST_F(MainForm, NameWithoutDotIsNoLanguageAndStaysInTheFile)
{
    dir.Write("morvane-tessel.ini", "[PROGRAMSETTINGS]\r\nSet_LanguageFile=Bulgarian\r\n");
    dir.Write("Bulgarian.lng", "[MainForm]\r\nbtnPlues=Other\r\n");
    Create();
    EXPECT_EQ(Set_LanguageFile, "Bulgarian");
    EXPECT_EQ(Child<QToolButton>("btnPlues")->text(), "Plues");
    EXPECT_EQ(dir.Read("morvane-tessel.ini"), "[PROGRAMSETTINGS]\r\nSet_LanguageFile=Bulgarian\r\n");
}

TEST_F(MainForm, LanguageInOtherLetterCaseIsFoundAndApplied)
{
    dir.Write("morvane-tessel.ini", "[PROGRAMSETTINGS]\r\nSet_LanguageFile=BULGARIAN.LNG\r\n");
    // "Артикули" and "Грешка" in Windows-1251.
    dir.Write("bulgarian.LNG", "[App Messages]\r\nS_ECR=\xc3\xf0\xe5\xf8\xea\xe0\r\n"
                               "[MainForm]\r\nbtnPlues=\xc0\xf0\xf2\xe8\xea\xf3\xeb\xe8\r\n");
    Create();
    EXPECT_EQ(Combo()->currentText(), "bulgarian");
    // The file as it is spelled on disk, not a new "bulgarian.lng".
    EXPECT_EQ(form->LngSupport().LanguageFile(), dir.File("bulgarian.LNG"));
    EXPECT_FALSE(FileExists(dir.File("bulgarian.lng")));
    EXPECT_EQ(Child<QToolButton>("btnPlues")->text(), QString::fromUtf8("Артикули"));
    EXPECT_EQ(S_ECR, "\xc3\xf0\xe5\xf8\xea\xe0");
    EXPECT_EQ(Child<QLabel>("lblVersionLabel")->text(), "Version : " APP_VERSION_TEXT);
    EXPECT_EQ(Set_LanguageFile, "BULGARIAN.LNG");
}

TEST_F(MainForm, FreshLanguageFileFillsWindowByWindow)
{
    dir.Write("morvane-tessel.ini", "[PROGRAMSETTINGS]\r\nSet_LanguageFile=New.lng\r\n");
    dir.Write("New.lng", "");
    Create();
    {
        const TIniFile ini(dir.File("New.lng"));
        EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"App Messages", "MainForm"}));
        EXPECT_EQ(ini.ReadSection("MainForm"),
                  (std::vector<std::string>{"btnPlues", "btnEcrSettings", "btnSettings",
                                            "lblVersionLabel", "lblLanguageLabel"}));
        EXPECT_EQ(ini.ReadString("MainForm", "lblLanguageLabel", ""), "Language:");
    }
    Click("btnPlues");
    {
        const TIniFile ini(dir.File("New.lng"));
        const std::vector<std::string> sections = ini.ReadSections();
        EXPECT_EQ(std::count(sections.begin(), sections.end(), "PluListFrame"), 1);
        EXPECT_EQ(ini.ReadString("PluListFrame", "btnDeletePlu", ""), "Delete item");
        EXPECT_EQ(ini.ReadString("PluListFrame", "NSaveToFile", ""), "Save to file");
        // The view has its own section: nothing of it in the window's.
        EXPECT_FALSE(ini.ValueExists("MainForm", "btnDeletePlu"));
    }
}

TEST_F(MainForm, LanguageChangeTranslatesTheCurrentViewToo)
{
    dir.Write("L.lng", "[PluListFrame]\r\nbtnPrint=Translated\r\n"
                       "[MainForm]\r\nbtnSettings=Options\r\n");
    Create();
    Click("btnPlues");
    Combo()->setCurrentIndex(Combo()->findText("L"));
    form->LanguageComboChange();
    EXPECT_EQ(Child<QToolButton>("btnSettings")->text(), "Options");
    EXPECT_EQ(form->PluView()->findChild<QPushButton*>("btnPrint")->text(), "Translated");
}

TEST_F(MainForm, ViewSwitching)
{
    Create();
    form->show();
    EXPECT_EQ(form->CurrentViewKind(), View::None);
    EXPECT_EQ(form->CurrentView(), nullptr);

    Click("btnPlues");
    ASSERT_EQ(form->CurrentViewKind(), View::Plu);
    QPointer<TPluListFrame> plu = form->PluView();
    ASSERT_TRUE(plu);
    EXPECT_EQ(plu->objectName(), "PluListFrame");
    EXPECT_TRUE(plu->Table().IsOpen());
    EXPECT_TRUE(plu->isVisible());
    EXPECT_TRUE(Child<QToolButton>("btnPlues")->isChecked());
    QCoreApplication::processEvents();
    EXPECT_EQ(plu->geometry(), Child<QWidget>("pnlMainPanel")->geometry());

    // Plues again: the same view, back in its PLU list mode, not reloaded.
    TPluRow row;
    row.SetInt(TPluField::NUMB, 5);
    plu->Table().AppendRow(row);
    plu->ShowAlteTaxeMode();
    Click("btnPlues");
    EXPECT_EQ(form->PluView(), plu.data());
    EXPECT_TRUE(plu->InPluListMode());
    EXPECT_EQ(plu->Table().Count(), 1);

    Set_ComPort = 7;
    Click("btnSettings");
    ASSERT_EQ(form->CurrentViewKind(), View::EcrSettings);
    EXPECT_TRUE(plu.isNull());
    QPointer<TEcrSettingsFrame> settings = form->EcrSettingsView();
    EXPECT_EQ(settings->objectName(), "EcrSettingsFrame");
    auto* port = settings->findChild<QSpinBox*>("EcrPortSpin");
    EXPECT_EQ(port->value(), 7) << "the settings are loaded";
    EXPECT_TRUE(settings->isVisible());
    // Settings again: the same view with the user's unsaved edit, not reloaded.
    port->setValue(9);
    Click("btnSettings");
    EXPECT_EQ(form->EcrSettingsView(), settings.data());
    EXPECT_EQ(port->value(), 9);
    EXPECT_TRUE(Child<QToolButton>("btnSettings")->isChecked());

    Click("btnEcrSettings");
    ASSERT_EQ(form->CurrentViewKind(), View::EcrParams);
    EXPECT_TRUE(settings.isNull());
    QPointer<TEcrParamsFrame> params = form->EcrParamsView();
    EXPECT_EQ(params->objectName(), "EcrParamsFrame");
    Click("btnEcrSettings");
    EXPECT_EQ(form->EcrParamsView(), params.data());

    // Back to Plues: a fresh PLU view.
    Click("btnPlues");
    EXPECT_TRUE(params.isNull());
    ASSERT_TRUE(form->PluView());
    EXPECT_TRUE(form->PluView()->Table().IsOpen());
    EXPECT_EQ(form->PluView()->Table().Count(), 0);
    // Closing empties the content area and releases the navigation button;
    // closing again finds nothing to close.
    QPointer<TPluListFrame> last = form->PluView();
    form->CloseCurrentView();
    EXPECT_TRUE(last.isNull());
    EXPECT_EQ(form->CurrentViewKind(), View::None);
    EXPECT_FALSE(Child<QToolButton>("btnPlues")->isChecked());
    form->CloseCurrentView();
    EXPECT_EQ(form->CurrentViewKind(), View::None);
    EXPECT_EQ(answerer.Unexpected(), 0);
}

TEST_F(MainForm, ViewsAreTranslatedWhenCreated)
{
    dir.Write("morvane-tessel.ini", "[PROGRAMSETTINGS]\r\nSet_LanguageFile=L.lng\r\n");
    dir.Write("L.lng", "[EcrSettingsFrame]\r\nTitleLabel=Port\r\n"
                       "[EcrParamsFrame]\r\nTitleLabel=Params\r\n");
    Create();
    Click("btnSettings");
    EXPECT_EQ(form->EcrSettingsView()->findChild<QLabel*>("TitleLabel")->text(), "Port");
    Click("btnEcrSettings");
    EXPECT_EQ(form->EcrParamsView()->findChild<QLabel*>("TitleLabel")->text(), "Params");
}

TEST_F(MainForm, TheShippedBulgarianFileCoversEveryWindowThatExists)
{
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, shipped));
    dir.Write("Bulgarian.lng", shipped);
    dir.Write("morvane-tessel.ini", "[PROGRAMSETTINGS]\r\nSet_LanguageFile=Bulgarian.lng\r\n");
    answerer.AnswerRestWith(ModalAnswerer::Press("btnOk"));
    Create();
    Click("btnPlues");  // also shows the no-register box
    Click("btnEcrSettings");
    Click("btnSettings");
    EXPECT_GE(answerer.Boxes().size(), 1u);
    EXPECT_EQ(dir.Read("Bulgarian.lng"), shipped) << "a caption was missing and got written back";
    EXPECT_EQ(Child<QToolButton>("btnSettings")->text(), FromCp("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8"));
}

TEST_F(MainForm, AnErrorInAButtonHandlerIsShownAndTheWindowGoesOn)
{
    // Without a language the views write Default.lng; a folder of that name
    // cannot be written.
    mkdir(dir.File("Default.lng").c_str(), 0700);
    Create();
    form->show();
    Set_ComPort = 7;
    Click("btnSettings");
    ASSERT_TRUE(answerer.WaitForBoxes(1));
    const std::string unable = "Unable to write to " + dir.File("Default.lng");
    EXPECT_EQ(answerer.Texts(), QStringList{QString::fromStdString(unable)});
    // The handler stopped at the translation: the view is there but was
    // neither filled nor is anything after it run.
    ASSERT_EQ(form->CurrentViewKind(), View::EcrSettings);
    EXPECT_EQ(form->EcrSettingsView()->findChild<QSpinBox*>("EcrPortSpin")->value(), 1);

    // The next click works as ever (and fails the same way).
    Click("btnPlues");
    ASSERT_EQ(form->CurrentViewKind(), View::Plu);
    EXPECT_FALSE(form->PluView()->Table().IsOpen());
    const QStringList texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_TRUE(texts[1].startsWith("GetDevInfo failed! -> ")) << texts[1].toStdString();
    EXPECT_EQ(texts[2], QString::fromStdString(unable));
    EXPECT_EQ(answerer.Unexpected(), 0);
}

int CurrentPixelsPerInch(const QWidget& w)
{
    return qRound(w.screen()->logicalDotsPerInchY());
}

TEST_F(MainForm, PlacementIsWrittenOnCloseAndRestored)
{
    Create();
    form->show();
    form->setGeometry(100, 120, 700, 400);
    form->close();
    {
        const TIniFile ini(dir.File("morvane-tessel.ini"));
        EXPECT_EQ(ini.ReadSection(kMainSection),
                  (std::vector<std::string>{"Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos",
                                            "NormPos"}));
        EXPECT_EQ(ini.ReadString(kMainSection, "NormPos", ""), "100,120,800,520");
        EXPECT_EQ(ini.ReadInteger(kMainSection, "ShowCmd", 0), 1);
        EXPECT_EQ(ini.ReadInteger(kMainSection, "PixelsPerInch", 0), CurrentPixelsPerInch(*form));
        // Only the main window's position: no other section is written.
        EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{kMainSection});
    }
    form.reset();
    Create();
    form->show();
    EXPECT_EQ(form->geometry(), QRect(100, 120, 700, 400));
}

TEST_F(MainForm, PlacementIsIgnoredAtOtherResolutionOrWhenEmpty)
{
    const int ppi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY());
    const struct {
        int ppi;
        const char* normPos;
    } cases[] = {{ppi + 24, "100,120,800,520"}, {ppi, "800,120,100,520"}, {ppi, "junk"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.normPos);
        dir.Write("morvane-tessel.ini", "[MAIN]\r\nPixelsPerInch=" + std::to_string(c.ppi) +
                                            "\r\nNormPos=" + c.normPos + "\r\n");
        Create();
        form->show();
        EXPECT_EQ(form->size(), QSize(919, 504));
        EXPECT_NE(form->pos(), QPoint(100, 120));
        form.reset();
    }
}

TEST_F(MainForm, PlacementIsWrittenAtDestructionWhenNotClosed)
{
    Create();
    form->show();
    form.reset();
    const TIniFile ini(dir.File("morvane-tessel.ini"));
    EXPECT_TRUE(ini.ValueExists(kMainSection, "NormPos"));
}

// --- DrawMenuItem ------------------------------------------------------------

QImage Paint(const QString& caption, const QString& shortcut, bool selected)
{
    QImage image(200, 22, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    DrawMenuItem(painter, image.rect(), caption, shortcut, selected);
    return image;
}

bool IsWhite(QRgb c)
{
    return c == qRgb(255, 255, 255);
}

// Columns that hold anything but the white face, between two rows.
std::pair<int, int> InkColumns(const QImage& image, int fromRow, int toRow)
{
    int first = image.width(), last = -1;
    for (int y = fromRow; y <= toRow; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!IsWhite(image.pixel(x, y))) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

TEST(DrawMenuItem, SeparatorIsOneBlackLineWhateverItsState)
{
    for (bool selected : {false, true}) {
        const QImage image = Paint("-", "Ctrl+S", selected);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb expected = y == 11 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
                ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y << " selected " << selected;
            }
    }
}

TEST(DrawMenuItem, SelectedItemHasABlueFrame)
{
    const QImage selected = Paint("Save all to ECR", "", true);
    const QRgb blue = qRgb(0, 0, 255);
    for (int x = 0; x < 200; ++x) {
        EXPECT_EQ(selected.pixel(x, 0), blue) << x;
        EXPECT_EQ(selected.pixel(x, 21), blue) << x;
    }
    for (int y = 0; y < 22; ++y) {
        EXPECT_EQ(selected.pixel(0, y), blue) << y;
        EXPECT_EQ(selected.pixel(199, y), blue) << y;
    }
    const QImage plain = Paint("Save all to ECR", "", false);
    EXPECT_TRUE(IsWhite(plain.pixel(0, 0)));
    EXPECT_TRUE(IsWhite(plain.pixel(199, 21)));
    EXPECT_TRUE(IsWhite(plain.pixel(100, 0)));
}

TEST(DrawMenuItem, CaptionAtTheLeftShortcutAtTheRight)
{
    const QImage caption = Paint("Load", "", false);
    const auto [first, last] = InkColumns(caption, 1, 20);
    EXPECT_GE(first, 4);
    EXPECT_LE(first, 6);
    EXPECT_LT(last, 100);

    const QImage both = Paint("Load", "F5", false);
    const auto [from, to] = InkColumns(both, 1, 20);
    EXPECT_EQ(from, first);
    // "(F5)" ends 3 px before the right edge.
    EXPECT_LE(to, 196);
    EXPECT_GE(to, 190);
}

TEST_F(MainForm, MenusOfTheWindowPaintTheirItemsWithDrawMenuItem)
{
    // A menu of a view lives under the window and its style sheet.
    Create();
    QMenu menu(form.get());
    menu.addAction("Save to file");
    menu.addSeparator();
    menu.addAction("Load from file");
    UseOwnerDrawnMenu(&menu);
    menu.adjustSize();
    const QImage image = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect separator = menu.actionGeometry(menu.actions()[1]);
    const int y = separator.top() + separator.height() / 2;
    int black = 0;
    for (int x = separator.left(); x <= separator.right(); ++x)
        black += image.pixel(x, y) == qRgb(0, 0, 0);
    EXPECT_EQ(black, separator.width());
}

} // namespace
