#pragma once
// The main window: the navigation column, the content area with its one
// view, the version line and the hidden language selector. It owns the
// current view and the program's one language support object.

#include "core/app/LngINISupp.h"

#include <QMainWindow>
#include <QProxyStyle>
#include <memory>

class QMenu;
class QPainter;
class TPluListFrame;
class TEcrParamsFrame;
class TEcrSettingsFrame;

namespace Ui {
class TMainForm;
}

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    enum class TViewKind { None, Plu, EcrParams, EcrSettings };

    // Runs FormCreate: reads the settings, lists the language files and
    // applies the language of the settings.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The one main window while it exists, else null.
    static TMainForm* Instance();

    // File-name part of path without its last "." and what follows; a name
    // without any "." gives the empty text.
    static QString LanguageNameOf(const QString& path);
    // The executable's version, e.g. "1.0.0.0".
    static QString GetFileVersionText();

    TLngINISupp& LngSupport() { return lng_; }
    // The executable's folder, with a trailing '/'.
    const QString& AppDir() const { return appDir_; }

    TViewKind CurrentViewKind() const { return viewKind_; }
    QWidget* CurrentView() const { return view_; }
    TPluListFrame* PluView() const;
    TEcrParamsFrame* EcrParamsView() const;
    TEcrSettingsFrame* EcrSettingsView() const;

    // Destroys the current view (the PLU view after DonePluView). Always
    // leaves no view and returns true.
    bool CloseCurrentView();

    // The navigation column, switched off while a register transfer runs.
    void SetNavigationEnabled(bool enabled);

public slots:
    // The event handlers. An error escapes them to the caller; the window's
    // own buttons and selector run them through RunHandler, which shows it.
    void btnPluesClick();
    void btnEcrSettingsClick();
    void btnSettingsClick();
    void LanguageComboChange();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FillLanguageList();
    void PlaceView(QWidget* view, TViewKind kind);
    void UpdateNavigation();
    // Section MAIN of the settings file: the window's position.
    void ReadPlacement();
    void WritePlacement();

    Ui::TMainForm* ui_;
    TLngINISupp lng_;
    QString appDir_;
    QWidget* view_ = nullptr;
    TViewKind viewKind_ = TViewKind::None;
    bool placementRead_ = false;
    bool placementWritten_ = false;
};

// The painter of owner-drawn popup menu items: white face, the caption 4 px
// from the left, "(" + shortcut + ")" ending 3 px before the right edge, a
// blue frame when selected; a caption "-" is a separator line.
void DrawMenuItem(QPainter& painter, const QRect& rect, const QString& caption,
                  const QString& shortcut, bool selected);

// A style that paints menu items with DrawMenuItem (everything else as the
// application style does).
class TMenuItemStyle : public QProxyStyle {
public:
    TMenuItemStyle();
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

// Makes menu paint its items with DrawMenuItem.
void UseOwnerDrawnMenu(QMenu* menu);
