#pragma once
// The ECR programming options view: commands that read register parameters
// into a dialog and write them back, each read and each write with a
// connection of its own (nothing stays open while a dialog is shown).
//
// The buttons stand one under the other in ButtonsLayout; a new command adds
// its button there. The hidden buttons keep their (translatable) captions
// and have no effect: in particular the program never sets the register's
// clock.

#include <QWidget>

namespace Ui {
class TEcrParamsFrame;
}

class TEcrParamsFrame : public QWidget {
    Q_OBJECT
public:
    explicit TEcrParamsFrame(QWidget* parent = nullptr);
    ~TEcrParamsFrame() override;

public slots:
    // The event handlers, run through RunHandler by the buttons. Each reads
    // from the register, shows its dialog and, on "Save", writes back and
    // reports the outcome; a failed read shows why and opens no dialog.
    void btnAdvLinesClick();
    void btnOperatorsClick();
    // The whole register into a file chosen in a save dialog, and a register
    // made equal to such a file (EcrBackupCommands.cpp). Both run the core's
    // backup and restore under a progress dialog that can cancel between two
    // records; a restore shows its plan and asks before it writes.
    void btnBackupClick();
    void btnRestoreClick();

protected:
    // The backup buttons take their captions from the message catalogue.
    void changeEvent(QEvent* event) override;

private:
    void SetBackupCaptions();

    Ui::TEcrParamsFrame* ui_;
};
