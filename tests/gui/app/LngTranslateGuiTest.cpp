#include "core/app/ConstUnit.h"
#include "gui/app/LngTranslate.h"
#include "core/base/IniFile.h"
#include "support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A window with one control of every translated kind, in a known order,
// and a few that must stay out of the file.
struct Window {
    QWidget form;
    QPushButton* button;
    QToolButton* tool;
    QLabel* label;
    QLabel* framed;
    QLabel* picture;
    QLineEdit* edit;
    QFileDialog* fileDialog;
    QMenu* menu;
    QAction* action;
    QCheckBox* check;
    QGroupBox* group;
    QRadioButton* radio;
    QGroupBox* radioGroup;
    QWidget* panel;
    QTabWidget* tabs;
    QWidget* page;
    QStatusBar* bar;
    QPushButton* innerButton;
    QPushButton* dialogButton;

    Window()
    {
        form.setObjectName("TestForm");
        button = Named(new QPushButton("&Save", &form), "btnSave");
        tool = Named(new QToolButton(&form), "sbtnFind");
        tool->setText("Find");
        label = Named(new QLabel("Two\nlines", &form), "lblTitle");
        framed = Named(new QLabel("Static", &form), "stxtNote");
        framed->setFrameShape(QFrame::Panel);
        picture = Named(new QLabel(&form), "imgPicture");
        QPixmap pixmap(4, 4);
        pixmap.fill(Qt::blue);
        picture->setPixmap(pixmap);
        edit = Named(new QLineEdit("typed", &form), "edtNumber");
        fileDialog = Named(new QFileDialog(&form, "Open PLU file"), "OpenDialog");
        menu = Named(new QMenu("File operations", &form), "NFileMenu");
        action = Named(new QAction("Save to file", &form), "NSaveToFile");
        menu->addAction(action);
        menu->addSeparator()->setObjectName("NSep");
        check = Named(new QCheckBox("Flag 1", &form), "chkFlag1");
        group = Named(new QGroupBox("Flags", &form), "grpFlags");
        radio = Named(new QRadioButton("Cash", group), "rbCash");
        radioGroup = Named(new QGroupBox("Pay type", &form), "rgPayType");
        radioGroup->setProperty("radioGroup", true);
        panel = Named(new QFrame(&form), "pnlCaption");
        panel->setProperty("caption", QString("Panel text"));
        tabs = Named(new QTabWidget(&form), "PageControl");
        page = Named(new QWidget, "tsGeneral");
        tabs->addTab(page, "General");
        bar = Named(new QStatusBar(&form), "StatusBar");
        bar->addWidget(Named(new QLabel("Ready"), "lblSection0"));
        bar->addWidget(Named(new QLabel(""), "lblSection1"));
        bar->addPermanentWidget(Named(new QLabel("COM1"), "lblSection2"));

        auto* inner = Named(new QWidget(&form), "InnerFrame");
        MarkLanguageWindow(inner);
        innerButton = Named(new QPushButton("Inner", inner), "btnInner");
        auto* dialog = Named(new QDialog(&form), "OtherDialog");
        dialogButton = Named(new QPushButton("Dialog", dialog), "btnDialog");
    }

    template <class T> static T* Named(T* o, const char* name)
    {
        o->setObjectName(name);
        return o;
    }
};

TEST(QtLngWindow, WalksControlsInCreationOrderWithTheirKinds)
{
    Window w;
    TQtLngWindow adapter(&w.form);
    EXPECT_EQ(adapter.WindowName(), "TestForm");
    std::vector<std::pair<std::string, int>> seen;
    for (int i = 0; i < adapter.ControlCount(); ++i)
        if (adapter.Kind(i) != 0)
            seen.emplace_back(adapter.ControlName(i), adapter.Kind(i));
    const std::vector<std::pair<std::string, int>> expected = {
        {"btnSave", 1},     {"sbtnFind", 2},   {"lblTitle", 3},  {"stxtNote", 13},
        {"OpenDialog", 4},  {"NFileMenu", 5},  {"NSaveToFile", 5}, {"chkFlag1", 6},
        {"grpFlags", 7},    {"rbCash", 8},     {"rgPayType", 9}, {"pnlCaption", 10},
        {"tsGeneral", 11},  {"StatusBar", 12},
    };
    EXPECT_EQ(seen, expected);

    // Untranslated controls are listed but never captioned; the inner
    // window, the dialog and the status bar's sections are not controls.
    std::vector<std::string> names;
    for (int i = 0; i < adapter.ControlCount(); ++i)
        names.push_back(adapter.ControlName(i));
    for (const char* absent : {"btnInner", "InnerFrame", "btnDialog", "OtherDialog", "lblSection0"})
        EXPECT_EQ(std::count(names.begin(), names.end(), absent), 0) << absent;
    for (int i = 0; i < adapter.ControlCount(); ++i)
        if (adapter.ControlName(i) == "imgPicture" || adapter.ControlName(i) == "edtNumber" ||
            adapter.ControlName(i) == "NSep") {
            EXPECT_FALSE(adapter.IsCaptioned(i) || adapter.IsStatusBar(i)) << adapter.ControlName(i);
        }
}

class Adapter : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitProgramLocation(dir.File("morvane-tessel"));
        dir.Write("L.lng", "");
        lng.SetLanguageFile("L.lng");
    }
    TempDir dir;
    TLngINISupp lng;
};

TEST_F(Adapter, CaptionsOfEveryKindAreWrittenThenApplied)
{
    Window w;
    TranslateControl(lng, &w.form);
    {
        const TIniFile ini(dir.File("L.lng"));
        const struct {
            const char* key;
            const char* value;
        } written[] = {
            {"btnSave", "&Save"},        {"sbtnFind", "Find"},        {"lblTitle", "Two|lines"},
            {"stxtNote", "Static"},      {"OpenDialog", "Open PLU file"},
            {"NFileMenu", "File operations"}, {"NSaveToFile", "Save to file"},
            {"chkFlag1", "Flag 1"},      {"grpFlags", "Flags"},       {"rbCash", "Cash"},
            {"rgPayType", "Pay type"},   {"pnlCaption", "Panel text"}, {"tsGeneral", "General"},
            {"StatusBar.Panels[0]", "Ready"}, {"StatusBar.Panels[2]", "COM1"},
        };
        for (const auto& k : written)
            EXPECT_EQ(ini.ReadString("TestForm", k.key, "<none>"), k.value) << k.key;
        for (const char* absent : {"imgPicture", "edtNumber", "StatusBar.Panels[1]", "btnInner",
                                   "btnDialog", "StatusBar"})
            EXPECT_FALSE(ini.ValueExists("TestForm", absent)) << absent;
        EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"TestForm"});
    }

    dir.Write("L.lng", "[TestForm]\r\n"
                       "btnSave=&Store\r\nsbtnFind=Seek\r\nlblTitle=One|two\r\nstxtNote=Fixed\r\n"
                       "OpenDialog=Open a file\r\nNFileMenu=Files\r\nNSaveToFile=Store in file\r\n"
                       "chkFlag1=Mark 1\r\ngrpFlags=Marks\r\nrbCash=Money\r\nrgPayType=Payment\r\n"
                       "pnlCaption=Panel\r\ntsGeneral=Main\r\n"
                       "StatusBar.Panels[1]=middle\r\nStatusBar.Panels[2]=COM2\r\n"
                       "edtNumber=changed\r\nimgPicture=changed\r\nbtnInner=changed\r\n");
    TQtLngWindow adapter(&w.form);
    lng.ApplyCaptions(adapter);
    EXPECT_EQ(w.button->text(), "&Store");
    EXPECT_EQ(w.tool->text(), "Seek");
    EXPECT_EQ(w.label->text(), "One\ntwo");
    EXPECT_EQ(w.framed->text(), "Fixed");
    EXPECT_EQ(w.fileDialog->windowTitle(), "Open a file");
    EXPECT_EQ(w.menu->title(), "Files");
    EXPECT_EQ(w.action->text(), "Store in file");
    EXPECT_EQ(w.check->text(), "Mark 1");
    EXPECT_EQ(w.group->title(), "Marks");
    EXPECT_EQ(w.radio->text(), "Money");
    EXPECT_EQ(w.radioGroup->title(), "Payment");
    EXPECT_EQ(w.panel->property("caption").toString(), "Panel");
    EXPECT_EQ(w.tabs->tabText(0), "Main");
    const QList<QLabel*> sections = w.bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(sections.size(), 3);
    EXPECT_EQ(sections[0]->text(), "Ready");
    EXPECT_EQ(sections[1]->text(), "middle");
    EXPECT_EQ(sections[2]->text(), "COM2");
    EXPECT_EQ(w.edit->text(), "typed");
    EXPECT_FALSE(w.picture->pixmap().isNull());
    EXPECT_EQ(w.innerButton->text(), "Inner");
}

TEST_F(Adapter, WindowsCodePageCaptionsRoundTrip)
{
    Window w;
    w.button->setText(QString::fromUtf8("Запис"));
    TranslateControl(lng, &w.form);
    const TIniFile ini(dir.File("L.lng"));
    EXPECT_EQ(ini.ReadString("TestForm", "btnSave", ""), "\xc7\xe0\xef\xe8\xf1");

    dir.Write("L.lng", "[TestForm]\r\nchkFlag1=\xd4\xeb\xe0\xe3\r\n");
    TranslateControl(lng, &w.form);
    EXPECT_EQ(w.check->text(), QString::fromUtf8("Флаг"));
}

} // namespace
