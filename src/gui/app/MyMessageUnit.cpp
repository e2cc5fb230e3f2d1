#include "gui/app/MyMessageUnit.h"

#include "gui/app/AppPictures.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "ui_MyMessageUnit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kButtonWidth = 95;
constexpr int kButtonHeight = 36;
constexpr int kButtonStep = 97;
constexpr int kLabelLeft = 90;
constexpr int kLabelTop = 15;
constexpr int kImageWidth = 80;
constexpr int kBevelHeight = 5;
constexpr int kMinWidth = 300;

const char* const kPictures[] = {"msg-warning.svg", "msg-error.svg", "msg-info.svg",
                                 "msg-question.svg"};

const char* const kButtonFace =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, "
    "stop:1 #c8ccd2); border: 1px solid #8a929c; border-radius: 3px; padding: 2px 8px; }"
    "QPushButton:hover { border-color: #1f5fa8; }"
    "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
    "stop:0 #c8ccd2, stop:1 #ffffff); }"
    "QPushButton:default, QPushButton:focus { border: 2px solid #1f5fa8; }";

// The label shows CR LF as one line break.
QString LabelText(const std::string& text)
{
    QString q = FromCp(text);
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

} // namespace

TMyMessageForm::TMyMessageForm(const std::string& text, std::uint8_t kind,
                               std::uint16_t buttons, QWidget* mainWindow)
    : QDialog(mainWindow), ui_(new Ui::TMyMessageForm)
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    if (mainWindow) {
        setWindowTitle(mainWindow->windowTitle());
        setFont(mainWindow->font());
        QPalette pal = palette();
        pal.setColor(QPalette::Window, mainWindow->palette().color(QPalette::Window));
        setPalette(pal);
    } else {
        setWindowTitle(QGuiApplication::applicationDisplayName());
    }
    QFont labelFont = font();
    labelFont.setPointSize(10);
    labelFont.setBold(true);
    ui_->MsgLabel->setFont(labelFont);

    const QString label = LabelText(text);
    ui_->MsgLabel->setText(label);
    ui_->MsgLabel->adjustSize();

    if (kind < std::size(kPictures))
        ui_->Image->setPixmap(AppPicture(QLatin1String(kPictures[kind]), QSize(32, 32),
                                         devicePixelRatioF()));

    const int panelHeight = ui_->BtnPanel->height();
    const int height = ui_->MsgLabel->height() + panelHeight + 60;
    const int width = std::max(ui_->MsgLabel->width() + 110, kMinWidth);
    setFixedSize(width, height);
    ui_->MsgLabel->move(kLabelLeft, kLabelTop);
    ui_->BtnPanel->setGeometry(0, height - panelHeight, width, panelHeight);
    ui_->Bevel1->setGeometry(0, height - panelHeight - kBevelHeight, width, kBevelHeight);
    ui_->Image->setGeometry(0, 0, kImageWidth, height - panelHeight - kBevelHeight);

    struct ButtonDef {
        std::uint16_t bit;
        const char* name;
        const char* caption;
        int result;
    };
    static const ButtonDef kButtons[] = {
        {mbYes, "btnYes", "&Yes", mrYes},          {mbNo, "btnNo", "&No", mrNo},
        {mbOK, "btnOk", "&OK", mrOk},              {mbCancel, "btnCancel", "&Cancel", mrCancel},
        {mbAbort, "btnAbort", "&Abort", mrAbort},  {mbRetry, "btnRetry", "&Retry", mrRetry},
        {mbIgnore, "btnIgnore", "&Ignore", mrIgnore},
    };
    for (const ButtonDef& b : kButtons)
        if (buttons & b.bit)
            AddButton(b.name, b.caption, b.result);

    // The label is kept out of the language file: only the buttons translate.
    if (TLngINISupp* lng = AppLanguageSupport()) {
        ui_->MsgLabel->clear();
        try {
            TranslateControl(*lng, this);
        } catch (const std::exception&) {
            // A language file that cannot be written must not swallow the
            // message itself: the box shows with the captions it has.
        }
        ui_->MsgLabel->setText(label);
    }

    if (mainWindow) {
        const QRect over = mainWindow->frameGeometry();
        move(over.center() - rect().center());
    }
}

TMyMessageForm::~TMyMessageForm()
{
    delete ui_;
}

void TMyMessageForm::AddButton(const char* name, const char* caption, int result)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), ui_->BtnPanel);
    button->setObjectName(QLatin1String(name));
    button->setStyleSheet(QLatin1String(kButtonFace));
    ++buttonCount_;
    button->setGeometry(ui_->BtnPanel->width() - buttonCount_ * kButtonStep - 2, 1, kButtonWidth,
                        kButtonHeight);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    if (result == mrYes || result == mrOk) {
        if (!hasDefault_)
            button->setDefault(true);
        hasDefault_ = true;
    }
    if ((result == mrNo || result == mrCancel) && !cancelButton_)
        cancelButton_ = button;
    if (buttonCount_ == 1)
        button->setFocus();
}

QLabel* TMyMessageForm::MsgLabel() const
{
    return ui_->MsgLabel;
}

QLabel* TMyMessageForm::Image() const
{
    return ui_->Image;
}

QWidget* TMyMessageForm::BtnPanel() const
{
    return ui_->BtnPanel;
}

void TMyMessageForm::reject()
{
    done(mrCancel);
}

void TMyMessageForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Esc belongs to the cancel button; without one it does nothing.
        if (cancelButton_)
            cancelButton_->click();
        event->accept();
        return;
    }
    // As in the system's own boxes, a button's access letter works without
    // Alt: the box holds nothing else that takes letters.
    const QString letter = event->text();
    if ((event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier && letter.size() == 1 &&
        letter[0].isLetterOrNumber()) {
        for (QPushButton* button : ui_->BtnPanel->findChildren<QPushButton*>()) {
            const QString caption = button->text();
            const qsizetype amp = caption.indexOf(QLatin1Char('&'));
            if (amp >= 0 && amp + 1 < caption.size() &&
                caption[amp + 1].toCaseFolded() == letter[0].toCaseFolded()) {
                button->click();
                event->accept();
                return;
            }
        }
    }
    QDialog::keyPressEvent(event);
}

// The program's main window, whose title, font and colour a box takes; a
// shown one wins over one still being built or torn down.
static QWidget* ProgramMainWindow()
{
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(w) && (!found || w->isVisible()))
            found = w;
    }
    return found;
}

int MyMessageDlg(const std::string& text, std::uint8_t kind, std::uint16_t buttons)
{
    TMyMessageForm box(text, kind, buttons, ProgramMainWindow());
    return box.exec();
}
