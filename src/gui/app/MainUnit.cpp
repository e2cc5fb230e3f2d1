#include "gui/app/MainUnit.h"

#include "gui/app/Application.h"
#include "gui/app/AppPictures.h"
#include "core/app/ConstUnit.h"
#include "gui/app/EcrHelpers.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "core/app/MsgINISupp.h"
#include "core/base/IniFile.h"
#include "core/device/EcrDeviceUnit.h"
#include "gui/ecrviews/EcrParamsUnit.h"
#include "gui/ecrviews/EcrSettingsUnit.h"
#include "gui/plu/PluListUnit.h"
#include "ui_MainUnit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QStyleOption>

namespace {

TMainForm* g_mainForm = nullptr;

constexpr const char* kDefaultLanguage = "*default*";

const char* const kStyleSheet = R"(
#pnlMenu {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #22364d, stop:1 #2f4a66);
}
#pnlMenu QToolButton {
  color: #e8eef5; border: 1px solid transparent; border-radius: 6px;
  font-weight: bold; padding-top: 6px;
}
#pnlMenu QToolButton:hover { background: rgba(255, 255, 255, 30); border-color: rgba(255, 255, 255, 60); }
#pnlMenu QToolButton:pressed, #pnlMenu QToolButton:checked {
  background: rgba(95, 168, 232, 90); border-color: #5fa8e8;
}
#pnlMenu QToolButton:disabled { color: #8796a6; }
#pnlTopPanel, #pnlBottomPanel { background: #ffffff; }
#pnlContentBackground {
  background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #f6f8fb, stop:1 #dfe6ef);
}
)";

// "l,t,r,b" into four numbers.
bool ParseRect(const std::string& text, int (&v)[4])
{
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        int n = 0;
        if (!TryStrToInt(parts[i].toStdString(), n))
            return false;
        v[i] = n;
    }
    return true;
}

int ScreenPixelsPerInch(const QWidget* w)
{
    const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), ui_(new Ui::TMainForm)
{
    InitAppResources();
    ui_->setupUi(this);
    g_mainForm = this;
    SetAppLanguageSupport(&lng_);

    setStyleSheet(QLatin1String(kStyleSheet));
    ui_->btnPlues->setIcon(QIcon(AppPicture(QStringLiteral("plues.svg"), QSize(48, 48))));
    ui_->btnEcrSettings->setIcon(
        QIcon(AppPicture(QStringLiteral("ecrsettings.svg"), QSize(48, 48))));
    ui_->btnSettings->setIcon(QIcon(AppPicture(QStringLiteral("settings.svg"), QSize(48, 48))));
    ui_->imgLogoImage->setPixmap(AppPicture(QStringLiteral("logo.svg"), QSize(128, 36)));
    QPalette versionPalette = ui_->lblVersionLabel->palette();
    versionPalette.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    ui_->lblVersionLabel->setPalette(versionPalette);

    connect(ui_->btnPlues, &QToolButton::clicked, this,
            [this] { RunHandler([this] { btnPluesClick(); }); });
    connect(ui_->btnEcrSettings, &QToolButton::clicked, this,
            [this] { RunHandler([this] { btnEcrSettingsClick(); }); });
    connect(ui_->btnSettings, &QToolButton::clicked, this,
            [this] { RunHandler([this] { btnSettingsClick(); }); });
    connect(ui_->LanguageCombo, &QComboBox::activated, this,
            [this] { RunHandler([this] { LanguageComboChange(); }); });

    FormCreate();
}

TMainForm::~TMainForm()
{
    if (!placementWritten_)
        WritePlacement();
    CloseCurrentView();
    if (AppLanguageSupport() == &lng_)
        SetAppLanguageSupport(nullptr);
    if (g_mainForm == this)
        g_mainForm = nullptr;
    delete ui_;
}

TMainForm* TMainForm::Instance()
{
    return g_mainForm;
}

void TMainForm::FormCreate()
{
    viewKind_ = TViewKind::None;
    view_ = nullptr;
    appDir_ = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    FillLanguageList();
    LoadProgramSettings();
    UpdateNavigation();

    const QString name = LanguageNameOf(FromCp(Set_LanguageFile));
    if (name.isEmpty())
        return;
    const int index = ui_->LanguageCombo->findText(name, Qt::MatchFixedString);
    if (index < 0) {
        Set_LanguageFile.clear();
        WriteProgramSettings();
        return;
    }
    ui_->LanguageCombo->setCurrentIndex(index);
    // Creation goes on without the language, as after any handler error.
    RunHandler([this] { LanguageComboChange(); });
}

void TMainForm::FillLanguageList()
{
    QComboBox* combo = ui_->LanguageCombo;
    combo->clear();
    const QDir dir(QFile::decodeName(QByteArray::fromStdString(ConfigDir())));
    // Every entry of the folder, whatever its attributes, folders included.
    const QStringList all = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& file : all) {
        if (!file.endsWith(QLatin1String(".lng"), Qt::CaseInsensitive))
            continue;
        const QString name = LanguageNameOf(file);
        // The file's own name goes along: the extension may be spelled in
        // another case than ".lng", and the file system tells them apart.
        if (!name.isEmpty())
            combo->addItem(name, file);
    }
    if (combo->count() == 0) {
        combo->addItem(QLatin1String(kDefaultLanguage));
        combo->setCurrentIndex(0);
    } else {
        combo->setCurrentIndex(-1);
    }
}

QString TMainForm::LanguageNameOf(const QString& path)
{
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : file.left(dot);
}

void TMainForm::LanguageComboChange()
{
    QComboBox* combo = ui_->LanguageCombo;
    if (combo->currentIndex() < 0)
        return;
    const QString item = combo->currentText();
    if (item != QLatin1String(kDefaultLanguage)) {
        const QString file = combo->currentData().toString();
        const std::string path = ConfigDir() + QFile::encodeName(file).toStdString();
        lng_.SetLanguageFile(path);
        LoadMessages(path);
        TranslateControl(lng_, this);
        if (view_) {
            TranslateControl(lng_, view_);
            // Views that take captions from the catalogue take the new texts.
            QEvent changed(QEvent::LanguageChange);
            QCoreApplication::sendEvent(view_, &changed);
        }
    }
    ui_->lblVersionLabel->setText(QStringLiteral("Version : ") + GetFileVersionText());
}

void TMainForm::FormShow()
{
    ui_->lblVersionLabel->setText(QStringLiteral("Version : ") + GetFileVersionText());
}

QString TMainForm::GetFileVersionText()
{
    return QStringLiteral(APP_VERSION_TEXT);
}

void TMainForm::showEvent(QShowEvent* event)
{
    if (!placementRead_) {
        placementRead_ = true;
        ReadPlacement();
    }
    if (!event->spontaneous())
        FormShow();
    QMainWindow::showEvent(event);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        WritePlacement();
}

void TMainForm::ReadPlacement()
{
    const TIniFile ini(SettingsFileName());
    if (ini.ReadInteger(kMainSection, "PixelsPerInch", 0) != ScreenPixelsPerInch(this))
        return;
    int r[4];
    if (!ParseRect(ini.ReadString(kMainSection, "NormPos", ""), r) || r[0] >= r[2])
        return;
    const QRect stored(QPoint(r[0], r[1]), QPoint(r[2] - 1, r[3] - 1));
    // A position on a screen that is gone would leave the window out of
    // reach: then only the size is taken.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(stored);
    if (onScreen)
        setGeometry(stored);
    else
        resize(stored.size());
}

void TMainForm::WritePlacement()
{
    placementWritten_ = true;
    const QRect normal = (isMaximized() || isMinimized()) ? normalGeometry() : geometry();
    const int showCmd = isMinimized() ? 2 : isMaximized() ? 3 : 1;
    TIniFile ini(SettingsFileName());
    ini.WriteInteger(kMainSection, "Flags", 0);
    ini.WriteInteger(kMainSection, "ShowCmd", showCmd);
    ini.WriteInteger(kMainSection, "PixelsPerInch", ScreenPixelsPerInch(this));
    ini.WriteString(kMainSection, "MinMaxPos", "-1,-1,-1,-1");
    ini.WriteString(kMainSection, "NormPos",
                    QStringLiteral("%1,%2,%3,%4")
                        .arg(normal.left())
                        .arg(normal.top())
                        .arg(normal.left() + normal.width())
                        .arg(normal.top() + normal.height())
                        .toStdString());
    std::string error;
    // Nothing to tell the user on the way out: the position is a comfort.
    ini.UpdateFile(error);
}

TPluListFrame* TMainForm::PluView() const
{
    return viewKind_ == TViewKind::Plu ? static_cast<TPluListFrame*>(view_) : nullptr;
}

TEcrParamsFrame* TMainForm::EcrParamsView() const
{
    return viewKind_ == TViewKind::EcrParams ? static_cast<TEcrParamsFrame*>(view_) : nullptr;
}

TEcrSettingsFrame* TMainForm::EcrSettingsView() const
{
    return viewKind_ == TViewKind::EcrSettings ? static_cast<TEcrSettingsFrame*>(view_) : nullptr;
}

bool TMainForm::CloseCurrentView()
{
    if (view_) {
        if (TPluListFrame* plu = PluView())
            plu->DonePluView();
        QWidget* view = view_;
        view_ = nullptr;
        viewKind_ = TViewKind::None;
        view->hide();
        delete view;
        UpdateNavigation();
    }
    return true;
}

void TMainForm::PlaceView(QWidget* view, TViewKind kind)
{
    // Over the content area, covering the logo and the version line.
    auto* grid = static_cast<QGridLayout*>(ui_->centralwidget->layout());
    grid->addWidget(view, 0, 1);
    view->raise();
    view_ = view;
    viewKind_ = kind;
    UpdateNavigation();
}

void TMainForm::SetNavigationEnabled(bool enabled)
{
    ui_->pnlMenu->setEnabled(enabled);
}

void TMainForm::UpdateNavigation()
{
    ui_->btnPlues->setChecked(viewKind_ == TViewKind::Plu);
    ui_->btnEcrSettings->setChecked(viewKind_ == TViewKind::EcrParams);
    ui_->btnSettings->setChecked(viewKind_ == TViewKind::EcrSettings);
}

void TMainForm::btnPluesClick()
{
    UpdateNavigation();
    ConnectAndReadEcrInfo();
    if (TPluListFrame* plu = PluView()) {
        plu->ShowPluListMode();
        return;
    }
    if (!CloseCurrentView())
        return;
    auto* plu = new TPluListFrame(ui_->centralwidget);
    PlaceView(plu, TViewKind::Plu);
    TranslateControl(lng_, plu);
    plu->show();
    QCoreApplication::processEvents();
    plu->InitPluView();
    EcrDevice.PortNumber = Set_ComPort;
}

void TMainForm::btnEcrSettingsClick()
{
    UpdateNavigation();
    ConnectAndReadEcrInfo();
    if (viewKind_ == TViewKind::EcrParams)
        return;
    EcrDevice.PortNumber = Set_ComPort;
    if (!CloseCurrentView())
        return;
    auto* params = new TEcrParamsFrame(ui_->centralwidget);
    PlaceView(params, TViewKind::EcrParams);
    TranslateControl(lng_, params);
    params->show();
}

void TMainForm::btnSettingsClick()
{
    UpdateNavigation();
    if (viewKind_ == TViewKind::EcrSettings)
        return;
    if (!CloseCurrentView())
        return;
    auto* settings = new TEcrSettingsFrame(ui_->centralwidget);
    PlaceView(settings, TViewKind::EcrSettings);
    TranslateControl(lng_, settings);
    settings->LoadSettingsIntoView();
    settings->show();
}

// --- Owner-drawn menu items ------------------------------------------------

void DrawMenuItem(QPainter& painter, const QRect& rect, const QString& caption,
                  const QString& shortcut, bool selected)
{
    painter.save();
    painter.setPen(QColor(Qt::blue));
    painter.setBrush(QColor(Qt::white));
    QFont font = painter.font();
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    painter.setFont(font);
    painter.fillRect(rect, Qt::white);

    if (caption == QLatin1String("-")) {
        const int y = rect.top() + rect.height() / 2;
        painter.setPen(QColor(Qt::black));
        painter.drawLine(rect.left(), y, rect.right(), y);
        painter.restore();
        return;
    }
    if (selected) {
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    const QFontMetrics fm(font);
    const int top = rect.top() + (rect.height() - fm.height()) / 2;
    painter.setPen(QGuiApplication::palette().color(QPalette::WindowText));
    painter.drawText(QPoint(rect.left() + 4, top + fm.ascent()), caption);
    if (!shortcut.isEmpty()) {
        const QString text = QLatin1Char('(') + shortcut + QLatin1Char(')');
        const int x = rect.left() + rect.width() - 3 - fm.horizontalAdvance(text);
        painter.drawText(QPoint(x, top + fm.ascent()), text);
    }
    painter.restore();
}

TMenuItemStyle::TMenuItemStyle() : QProxyStyle() {}

void TMenuItemStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        DrawMenuItem(*painter, item->rect, QStringLiteral("-"), QString(), false);
        return;
    }
    // Qt hands the caption and the shortcut as "caption\tshortcut".
    const qsizetype tab = item->text.indexOf(QLatin1Char('\t'));
    const QString caption = tab < 0 ? item->text : item->text.left(tab);
    const QString shortcut = tab < 0 ? QString() : item->text.mid(tab + 1);
    DrawMenuItem(*painter, item->rect, caption, shortcut,
                 (item->state & State_Selected) != 0);
}

void UseOwnerDrawnMenu(QMenu* menu)
{
    static TMenuItemStyle* style = [] {
        auto* s = new TMenuItemStyle;
        s->setParent(qApp);
        return s;
    }();
    menu->setStyle(style);
}
