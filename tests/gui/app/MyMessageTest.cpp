#include "gui/app/Application.h"
#include "core/app/ConstUnit.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MyMessageUnit.h"
#include "core/base/EAbort.h"
#include "core/base/IniFile.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using A = ModalAnswerer;

class MessageBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitProgramLocation(dir.File("morvane-tessel"));
        SetAppLanguageSupport(nullptr);
    }
    void TearDown() override { SetAppLanguageSupport(nullptr); }

    TempDir dir;
};

struct ResultCase {
    const char* name;
    std::uint16_t buttons;
    std::vector<A::Answer> answers;
    int expected;
};

TEST_F(MessageBox, ResultOfEachButtonSetTheProgramUses)
{
    const std::vector<ResultCase> cases = {
        {"OK pressed", mbOK, {A::Press("btnOk")}, mrOk},
        {"OK by Enter", mbOK, {A::Enter()}, mrOk},
        {"OK: Esc does nothing", mbOK, {A::Escape(), A::Press("btnOk")}, mrOk},
        {"OK: close box", mbOK, {A::Close()}, mrCancel},
        {"Yes pressed", mbYes | mbNo, {A::Press("btnYes")}, mrYes},
        {"No pressed", mbYes | mbNo, {A::Press("btnNo")}, mrNo},
        {"Yes/No: Esc", mbYes | mbNo, {A::Escape()}, mrNo},
        {"Yes/No: Enter", mbYes | mbNo, {A::Enter()}, mrYes},
        {"Yes/No: close box", mbYes | mbNo, {A::Close()}, mrCancel},
        {"Abort pressed", mbAbort | mbRetry, {A::Press("btnAbort")}, mrAbort},
        {"Retry pressed", mbAbort | mbRetry, {A::Press("btnRetry")}, mrRetry},
        {"Abort/Retry: Esc does nothing", mbAbort | mbRetry,
         {A::Escape(), A::Press("btnRetry")}, mrRetry},
        {"Abort/Ignore: Abort", mbAbort | mbIgnore, {A::Press("btnAbort")}, mrAbort},
        {"Abort/Ignore: Ignore", mbAbort | mbIgnore, {A::Press("btnIgnore")}, mrIgnore},
        {"Cancel pressed", mbOK | mbCancel, {A::Press("btnCancel")}, mrCancel},
        {"OK/Cancel: Esc", mbOK | mbCancel, {A::Escape()}, mrCancel},
        {"no buttons: close box", 0, {A::Close()}, mrCancel},
        {"Yes/No: access letter N", mbYes | mbNo, {A::Key('n')}, mrNo},
        {"Abort/Retry: access letter R", mbAbort | mbRetry, {A::Key('R')}, mrRetry},
        {"Abort/Ignore: Tab to Ignore, Enter", mbAbort | mbIgnore,
         {A::Do([](QWidget* box) { QTest::keyClick(box->focusWidget(), Qt::Key_Tab); }),
          A::Enter()},
         mrIgnore},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(c.name);
        ModalAnswerer answerer;
        for (const A::Answer& a : c.answers)
            answerer.Add(a);
        EXPECT_EQ(MyMessageDlg("Question?", mtConfirmation, c.buttons), c.expected);
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].window, "MyMessageForm");
        EXPECT_EQ(answerer.Boxes()[0].text, "Question?");
        EXPECT_EQ(answerer.Unexpected(), 0);
        EXPECT_TRUE(answerer.Failures().isEmpty()) << answerer.Failures().join(", ").toStdString();
    }
}

TEST_F(MessageBox, ButtonsCaptionsAndOrder)
{
    ModalAnswerer answerer({A::Press("btnOk")});
    MyMessageDlg("x", mtWarning, mbYes | mbNo | mbOK | mbCancel | mbAbort | mbRetry | mbIgnore);
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].buttons,
              QStringList({"btnYes", "btnNo", "btnOk", "btnCancel", "btnAbort", "btnRetry",
                           "btnIgnore"}));
    EXPECT_EQ(answerer.Boxes()[0].captions,
              QStringList({"&Yes", "&No", "&OK", "&Cancel", "&Abort", "&Retry", "&Ignore"}));
}

TEST_F(MessageBox, LayoutFollowsTheLabel)
{
    for (const char* text : {"Short", "A much longer message text that makes the box wider than "
                                      "its minimum width of three hundred pixels"}) {
        SCOPED_TRACE(text);
        TMyMessageForm box(text, mtInformation, mbYes | mbNo, nullptr);
        const QLabel* label = box.MsgLabel();
        EXPECT_EQ(label->pos(), QPoint(90, 15));
        EXPECT_EQ(box.height(), label->height() + 42 + 60);
        EXPECT_EQ(box.width(), std::max(label->width() + 110, 300));
        const QWidget* panel = box.BtnPanel();
        EXPECT_EQ(panel->width(), box.width());
        EXPECT_EQ(panel->height(), 42);
        EXPECT_EQ(panel->geometry().bottom(), box.height() - 1);
        const auto* yes = box.findChild<QPushButton*>("btnYes");
        const auto* no = box.findChild<QPushButton*>("btnNo");
        ASSERT_TRUE(yes && no);
        EXPECT_EQ(yes->geometry(), QRect(panel->width() - 97 - 2, 1, 95, 36));
        EXPECT_EQ(no->geometry(), QRect(panel->width() - 2 * 97 - 2, 1, 95, 36));
        EXPECT_FALSE(box.Image()->pixmap().isNull());
    }
    TMyMessageForm shortBox("Short", mtInformation, mbOK, nullptr);
    EXPECT_EQ(shortBox.width(), 300);
}

TEST_F(MessageBox, LineBreaksMakeTheBoxTaller)
{
    TMyMessageForm one("line", mtWarning, mbOK, nullptr);
    TMyMessageForm two("line\r\nline", mtWarning, mbOK, nullptr);
    EXPECT_EQ(two.MsgLabel()->text(), "line\nline");
    EXPECT_GT(two.height(), one.height());
}

TEST_F(MessageBox, KindsOutsideTheFourShowNoPicture)
{
    QList<QImage> pictures;
    for (std::uint8_t kind : {0, 1, 2, 3}) {
        TMyMessageForm box("x", kind, mbOK, nullptr);
        const QImage image = box.Image()->pixmap().toImage();
        EXPECT_EQ(image.deviceIndependentSize().toSize(), QSize(32, 32)) << int(kind);
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 0;
        EXPECT_GT(painted, image.width() * image.height() / 8) << int(kind);
        EXPECT_FALSE(pictures.contains(image)) << "kind " << int(kind) << " repeats a picture";
        pictures << image;
    }
    TMyMessageForm box("x", 4, mbOK, nullptr);
    EXPECT_TRUE(box.Image()->pixmap().isNull());
    EXPECT_EQ(box.MsgLabel()->x(), 90);
}

TEST_F(MessageBox, LanguageFileTranslatesTheButtonsButNeverTheText)
{
    // "Да" in Windows-1251.
    dir.Write("L.lng",
              "[MyMessageForm]\r\nbtnYes=\xc4\xe0\r\nMsgLabel=replaced\r\nImage=replaced\r\n");
    TLngINISupp lng;
    lng.SetLanguageFile(dir.File("L.lng"));
    SetAppLanguageSupport(&lng);

    ModalAnswerer answerer({A::Press("btnYes"), A::Press("btnOk"),
                            A::Do([](QWidget* box) {
                                // No picture for this kind, and the picture
                                // area is still no label of the file.
                                EXPECT_EQ(box->findChild<QLabel*>("Image")->text(), "");
                                box->findChild<QPushButton*>("btnOk")->click();
                            })});
    EXPECT_EQ(MyMessageDlg("Sure?", mtConfirmation, mbYes | mbNo), mrYes);
    EXPECT_EQ(MyMessageDlg("Done", mtInformation, mbOK), mrOk);
    EXPECT_EQ(MyMessageDlg("Plain", 4, mbOK), mrOk);
    ASSERT_EQ(answerer.Boxes().size(), 3u);
    EXPECT_EQ(answerer.Boxes()[0].captions, QStringList({QString::fromUtf8("Да"), "&No"}));
    EXPECT_EQ(answerer.Boxes()[0].text, "Sure?");
    EXPECT_EQ(answerer.Boxes()[1].text, "Done");

    // The file learnt the buttons the boxes showed, and nothing of the label.
    const TIniFile ini(dir.File("L.lng"));
    EXPECT_EQ(ini.ReadString("MyMessageForm", "btnNo", ""), "&No");
    EXPECT_EQ(ini.ReadString("MyMessageForm", "btnOk", ""), "&OK");
    EXPECT_FALSE(ini.ValueExists("MyMessageForm", "btnCancel"));
    EXPECT_EQ(ini.ReadString("MyMessageForm", "MsgLabel", ""), "replaced");
}

TEST_F(MessageBox, UnwritableLanguageFileStillShowsTheMessage)
{
    // A folder where the file should be: no one can write it, not even root.
    mkdir(dir.File("L.lng").c_str(), 0700);
    TLngINISupp lng;
    lng.SetLanguageFile(dir.File("L.lng"));
    SetAppLanguageSupport(&lng);
    ModalAnswerer answerer({A::Press("btnOk")});
    EXPECT_EQ(MyMessageDlg("Still here", mtError, mbOK), mrOk);
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].text, "Still here");
    EXPECT_EQ(answerer.Boxes()[0].captions, QStringList{"&OK"});
}

TEST_F(MessageBox, GeneralErrorHandlerShowsTheTextButNotAnAbort)
{
    ModalAnswerer answerer({A::Press("btnOk")});
    ShowGeneralError(std::runtime_error("Unable to write to /x/y.ini"));
    ShowGeneralError(EAbort("silent"));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].text, "Unable to write to /x/y.ini");
    EXPECT_EQ(answerer.Boxes()[0].buttons, QStringList{"btnOk"});
}

TEST_F(MessageBox, WindowsCodePageTextIsShown)
{
    ModalAnswerer answerer({A::Press("btnOk")});
    MyMessageDlg("\xc3\xf0\xe5\xf8\xea\xe0", mtError, mbOK); // "Грешка"
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].text, QString::fromUtf8("Грешка"));
}

} // namespace
