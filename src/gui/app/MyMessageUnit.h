#pragma once
// The program's one message box. Every message, warning and question of the
// program goes through MyMessageDlg; it returns once the box is closed.

#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;

namespace Ui {
class TMyMessageForm;
}

// Kinds (the picture shown); any other value shows no picture.
enum : std::uint8_t {
    mtWarning = 0,     // yellow warning triangle
    mtError = 1,       // red stop sign
    mtInformation = 2, // red check mark
    mtConfirmation = 3 // lit light bulb
};

// Button set bits, created in this order from the right edge leftwards.
enum : std::uint16_t {
    mbYes = 1,
    mbNo = 2,
    mbOK = 4,
    mbCancel = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64
};

// Results: the button that closed the box; the close box gives mrCancel.
enum : int { mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

// text: Windows-1251 bytes, CR LF starts a new line. Shows the box modally,
// centred over the main window, and returns the result above.
int MyMessageDlg(const std::string& text, std::uint8_t kind, std::uint16_t buttons);

// The box itself. Built complete (sized, translated, placed) by the
// constructor; MyMessageDlg only runs it. Button objectNames: btnYes, btnNo,
// btnOk, btnCancel, btnAbort, btnRetry, btnIgnore; the text is in MsgLabel,
// the picture in Image, the buttons on BtnPanel.
class TMyMessageForm : public QDialog {
    Q_OBJECT
public:
    TMyMessageForm(const std::string& text, std::uint8_t kind, std::uint16_t buttons,
                   QWidget* mainWindow);
    ~TMyMessageForm() override;

    QLabel* MsgLabel() const;
    QLabel* Image() const;
    QWidget* BtnPanel() const;

public slots:
    // The close box (and anything else that rejects the box) answers 2.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddButton(const char* name, const char* caption, int result);

    Ui::TMyMessageForm* ui_;
    QPushButton* cancelButton_ = nullptr;
    bool hasDefault_ = false;
    int buttonCount_ = 0;
};
