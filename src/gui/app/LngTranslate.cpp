#include "gui/app/LngTranslate.h"

#include "gui/app/GuiText.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace {

constexpr const char* kLngWindowProperty = "lngWindow";
constexpr const char* kCaptionProperty = "caption";
constexpr const char* kRadioGroupProperty = "radioGroup";
// A picture area that may be empty (the message box without a picture) is
// still a picture, not a label.
constexpr const char* kPictureHolderProperty = "pictureHolder";

enum Kind {
    kNone = 0,
    kPushButton = 1,
    kSpeedButton = 2,
    kLabel = 3,
    kFileDialog = 4,
    kMenuItem = 5,
    kCheckBox = 6,
    kGroupBox = 7,
    kRadioButton = 8,
    kRadioGroup = 9,
    kPanel = 10,
    kTabPage = 11,
    kStatusBar = 12,
    kStaticText = 13,
};

// Qt breaks lines with LF, the file's texts with CR LF.
std::string Cp(const QString& text)
{
    QString crlf = text;
    crlf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return ToCp(crlf).value_or(std::string());
}

QString FromCaption(const std::string& text)
{
    QString q = FromCp(text);
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return q;
}

bool HasPicture(const QLabel* label)
{
    return label->property(kPictureHolderProperty).toBool() || !label->pixmap().isNull() ||
           !label->picture().isNull() || label->movie() != nullptr;
}

QTabWidget* TabWidgetOfPage(const QWidget* w, int& index)
{
    auto* stack = qobject_cast<QStackedWidget*>(w->parent());
    if (!stack)
        return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack->parent());
    if (!tabs)
        return nullptr;
    index = tabs->indexOf(const_cast<QWidget*>(w));
    return index >= 0 ? tabs : nullptr;
}

int KindOf(QObject* o)
{
    if (auto* action = qobject_cast<QAction*>(o))
        return action->isSeparator() ? kNone : kMenuItem;
    auto* w = qobject_cast<QWidget*>(o);
    if (!w)
        return kNone;
    if (qobject_cast<QPushButton*>(w))
        return kPushButton;
    if (qobject_cast<QToolButton*>(w))
        return kSpeedButton;
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (HasPicture(label))
            return kNone;
        return label->frameShape() == QFrame::NoFrame ? kLabel : kStaticText;
    }
    if (qobject_cast<QFileDialog*>(w))
        return kFileDialog;
    if (qobject_cast<QMenu*>(w))
        return kMenuItem;
    if (qobject_cast<QCheckBox*>(w))
        return kCheckBox;
    if (qobject_cast<QGroupBox*>(w))
        return w->property(kRadioGroupProperty).toBool() ? kRadioGroup : kGroupBox;
    if (qobject_cast<QRadioButton*>(w))
        return kRadioButton;
    int index = 0;
    if (TabWidgetOfPage(w, index))
        return kTabPage;
    if (qobject_cast<QStatusBar*>(w))
        return kStatusBar;
    if (w->property(kCaptionProperty).isValid())
        return kPanel;
    return kNone;
}

// Whether the walk goes on below o (o itself has been looked at already).
bool Enters(QObject* o)
{
    auto* w = qobject_cast<QWidget*>(o);
    if (!w)
        return true;
    if (w->property(kLngWindowProperty).toBool())
        return false;
    if (qobject_cast<QMenu*>(w))
        return true;
    if (w->isWindow())
        return false;
    return !(qobject_cast<QStatusBar*>(w) || qobject_cast<QComboBox*>(w) ||
             qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTabBar*>(w));
}

// A separate window below the walked one (a dialog parented to it): neither
// it nor anything in it is a control of the walked window. File dialogs are
// the exception, they are controls (kind 4).
bool IsForeignWindow(QObject* o)
{
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || !w->isWindow())
        return false;
    return !qobject_cast<QMenu*>(w) && !qobject_cast<QFileDialog*>(w);
}

QList<QLabel*> Sections(QObject* bar)
{
    return bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
}

} // namespace

TQtLngWindow::TQtLngWindow(QWidget* window) : window_(window)
{
    Collect(window);
}

void TQtLngWindow::Collect(QObject* parent)
{
    for (QObject* child : parent->children()) {
        if (IsForeignWindow(child) || child->property(kLngWindowProperty).toBool())
            continue;
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            controls_.push_back({child, KindOf(child)});
        if (Enters(child))
            Collect(child);
    }
}

std::string TQtLngWindow::WindowName() const
{
    return Cp(window_->objectName());
}

int TQtLngWindow::ControlCount() const
{
    return static_cast<int>(controls_.size());
}

QObject* TQtLngWindow::Control(int i) const
{
    return controls_.at(i).object.data();
}

int TQtLngWindow::Kind(int i) const
{
    return controls_.at(i).object ? controls_.at(i).kind : kNone;
}

std::string TQtLngWindow::ControlName(int i) const
{
    QObject* o = Control(i);
    return o ? Cp(o->objectName()) : std::string();
}

bool TQtLngWindow::IsCaptioned(int i) const
{
    const int k = Kind(i);
    return k != kNone && k != kStatusBar;
}

bool TQtLngWindow::IsStatusBar(int i) const
{
    return Kind(i) == kStatusBar;
}

std::string TQtLngWindow::Caption(int i) const
{
    QObject* o = Control(i);
    switch (Kind(i)) {
    case kPushButton:
    case kSpeedButton:
    case kCheckBox:
    case kRadioButton:
        return Cp(static_cast<QAbstractButton*>(o)->text());
    case kLabel:
    case kStaticText:
        return Cp(static_cast<QLabel*>(o)->text());
    case kFileDialog:
        return Cp(static_cast<QWidget*>(o)->windowTitle());
    case kMenuItem:
        if (auto* menu = qobject_cast<QMenu*>(o))
            return Cp(menu->title());
        return Cp(static_cast<QAction*>(o)->text());
    case kGroupBox:
    case kRadioGroup:
        return Cp(static_cast<QGroupBox*>(o)->title());
    case kPanel:
        return Cp(o->property(kCaptionProperty).toString());
    case kTabPage: {
        int index = 0;
        QTabWidget* tabs = TabWidgetOfPage(static_cast<QWidget*>(o), index);
        return tabs ? Cp(tabs->tabText(index)) : std::string();
    }
    default:
        return std::string();
    }
}

void TQtLngWindow::SetCaption(int i, const std::string& text)
{
    QObject* o = Control(i);
    const QString q = FromCaption(text);
    switch (Kind(i)) {
    case kPushButton:
    case kSpeedButton:
    case kCheckBox:
    case kRadioButton:
        static_cast<QAbstractButton*>(o)->setText(q);
        break;
    case kLabel:
    case kStaticText:
        static_cast<QLabel*>(o)->setText(q);
        break;
    case kFileDialog:
        static_cast<QWidget*>(o)->setWindowTitle(q);
        break;
    case kMenuItem:
        if (auto* menu = qobject_cast<QMenu*>(o))
            menu->setTitle(q);
        else
            static_cast<QAction*>(o)->setText(q);
        break;
    case kGroupBox:
    case kRadioGroup:
        static_cast<QGroupBox*>(o)->setTitle(q);
        break;
    case kPanel:
        o->setProperty(kCaptionProperty, q);
        static_cast<QWidget*>(o)->update();
        break;
    case kTabPage: {
        int index = 0;
        if (QTabWidget* tabs = TabWidgetOfPage(static_cast<QWidget*>(o), index))
            tabs->setTabText(index, q);
        break;
    }
    default:
        break;
    }
}

int TQtLngWindow::PanelCount(int i) const
{
    return IsStatusBar(i) ? static_cast<int>(Sections(Control(i)).size()) : 0;
}

std::string TQtLngWindow::PanelText(int i, int panel) const
{
    if (!IsStatusBar(i))
        return std::string();
    const QList<QLabel*> sections = Sections(Control(i));
    if (panel < 0 || panel >= sections.size())
        return std::string();
    return Cp(sections[panel]->text());
}

void TQtLngWindow::SetPanelText(int i, int panel, const std::string& text)
{
    if (!IsStatusBar(i))
        return;
    const QList<QLabel*> sections = Sections(Control(i));
    if (panel >= 0 && panel < sections.size())
        sections[panel]->setText(FromCaption(text));
}

void MarkLanguageWindow(QWidget* widget)
{
    widget->setProperty(kLngWindowProperty, true);
}

void TranslateControl(TLngINISupp& lng, QWidget* window)
{
    TQtLngWindow adapter(window);
    lng.TranslateControl(adapter);
}

namespace {
TLngINISupp* g_appLanguageSupport = nullptr;
}

TLngINISupp* AppLanguageSupport()
{
    return g_appLanguageSupport;
}

void SetAppLanguageSupport(TLngINISupp* lng)
{
    g_appLanguageSupport = lng;
}
