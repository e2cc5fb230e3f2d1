#pragma once
// Language files, widget side: a Qt window seen as a TLngWindow, so that the
// INI side (app/LngINISupp.h) can write its captions into a language file and
// read them back.
//
// The controls of a window are its descendant widgets and actions, walked
// depth first in the order they were created (the order of a .ui file). A
// control takes part only when it has an objectName that does not start with
// "qt_" (Qt's own inner widgets); the objectName is the language file key,
// the window's objectName is the section. The first matching kind decides:
//
//   kind                    Qt representation                         text
//   1  push button          QPushButton                               text()
//   2  speed button         QToolButton                               text()
//   3  label                QLabel without a picture (pixmap, picture
//                           or movie): a QLabel with a picture, or one
//                           that holds a picture at times (dynamic
//                           property "pictureHolder" = true), is an
//                           image and is never translated              text()
//   4  file dialog          QFileDialog child of the window           windowTitle()
//   5  menu item            QAction (not a separator); a QMenu stands
//                           for its submenu item                       text() / title()
//   6  check box            QCheckBox                                 text()
//   7  group box            QGroupBox                                 title()
//   8  radio button         QRadioButton                              text()
//   9  radio group          QGroupBox with the dynamic property
//                           "radioGroup" = true (its QRadioButton
//                           children are translated as kind 8)         title()
//   10 panel with caption   any other widget carrying the dynamic
//                           property "caption" (a QString); the
//                           widget paints it itself                    property "caption"
//   11 tab page             a page widget of a QTabWidget             the tab's text
//   12 status bar           QStatusBar; its sections are its direct
//                           QLabel children in creation order, one
//                           key "<bar>.Panels[i]" per section          each label's text()
//   13 static text          a QLabel with a frame: same as kind 3     text()
//
// Kinds 14 to 20 of the file format are flat variants of the kinds above and
// need no Qt class of their own. Edit fields, combo boxes, spin boxes,
// grids, pictures and lines are never touched, nor the window's own title.
//
// The walk does not enter: another language window (a widget with the
// dynamic property "lngWindow" = true, such as a view placed in the main
// window: it has its own section), a separate top-level window (a dialog
// parented to the window), a status bar (its sections are its panels), a
// file dialog, a combo box or a spin box (their inner widgets are Qt's).
// A QMenu is entered: it is a popup window, but its items are the window's.
//
// Texts cross as Windows-1251 bytes (app/GuiText.h), line breaks as CR LF
// (LF inside the widgets). The walk does not enter a tab widget's tab bar
// either (its scroll buttons are Qt's). A caption holding a
// character the code page cannot hold reads as empty, so it is never written
// to a file in a mangled form.

#include "core/app/LngINISupp.h"

#include <QPointer>
#include <vector>

class QObject;
class QWidget;

class TQtLngWindow : public TLngWindow {
public:
    // Takes the controls of window as they are now.
    explicit TQtLngWindow(QWidget* window);

    std::string WindowName() const override;
    int ControlCount() const override;
    std::string ControlName(int i) const override;
    bool IsCaptioned(int i) const override;
    bool IsStatusBar(int i) const override;
    std::string Caption(int i) const override;
    void SetCaption(int i, const std::string& text) override;
    int PanelCount(int i) const override;
    std::string PanelText(int i, int panel) const override;
    void SetPanelText(int i, int panel, const std::string& text) override;

    // The kind number of the table above for control i (0: not translated).
    int Kind(int i) const;
    QObject* Control(int i) const;

private:
    struct Entry {
        QPointer<QObject> object;
        int kind;
    };
    void Collect(QObject* parent);
    QWidget* window_;
    std::vector<Entry> controls_;
};

// Marks a widget as a window of its own for the language files (its section
// is its objectName): the walk of an enclosing window stops there.
void MarkLanguageWindow(QWidget* widget);

// Translates window through lng (TLngINISupp::TranslateControl). Errors of
// the INI side (std::runtime_error) go to the caller.
void TranslateControl(TLngINISupp& lng, QWidget* window);

// The program's one language support object (owned by the main window),
// for the windows that translate themselves (the message box). Null while
// no main window exists.
TLngINISupp* AppLanguageSupport();
void SetAppLanguageSupport(TLngINISupp* lng);
