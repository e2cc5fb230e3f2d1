#pragma once
// Language files, INI side: which captions a window writes into the file and
// which it reads back. The widgets are reached through TLngWindow, so this
// part knows nothing of the window toolkit; the GUI adapts its windows to it
// (app/LngTranslate.h).
//
// Errors (a file that cannot be written: "Unable to write to <file>"; a status
// bar key whose panel index is not a digit: "'x' is not a valid integer
// value") are thrown as std::runtime_error and end the translation of that
// window; captions already set stay set.

#include <string>

// One window as the language file sees it: its name (the file's section)
// and its controls in component order, each with its name, whether its kind
// is one of those translated, and its text(s). Texts are code-page bytes.
class TLngWindow {
public:
    virtual ~TLngWindow() = default;
    virtual std::string WindowName() const = 0;
    virtual int ControlCount() const = 0;
    virtual std::string ControlName(int i) const = 0;
    // A control of a translated kind other than a status bar (buttons,
    // labels, file dialogs, menu items, check boxes, group boxes, radio
    // buttons and groups, panels with a caption, tab pages, static texts).
    virtual bool IsCaptioned(int i) const = 0;
    virtual bool IsStatusBar(int i) const = 0;
    virtual std::string Caption(int i) const = 0;
    virtual void SetCaption(int i, const std::string& text) = 0;
    virtual int PanelCount(int i) const = 0;
    virtual std::string PanelText(int i, int panel) const = 0;
    virtual void SetPanelText(int i, int panel, const std::string& text) = 0;
};

class TLngINISupp {
public:
    // The chosen file := the program's folder + the file-name part of path.
    void SetLanguageFile(const std::string& path);
    const std::string& LanguageFile() const { return languageFile_; }

    // With no file chosen, first chooses "Default.lng"; then
    // WriteMissingCaptions and ApplyCaptions for the window.
    void TranslateControl(TLngWindow& window);
    void WriteMissingCaptions(TLngWindow& window);
    void ApplyCaptions(TLngWindow& window);

private:
    std::string languageFile_;
};
