#pragma once
// The communication settings view: the port number through which the
// register is reached, a connection test, and saving the section
// ECRSETTINGS of the settings file. The ECR number and the one-ECR flag are
// kept in hidden controls only so that saving writes them back unchanged.
//
// Under the port number a line tells which device the number opens and
// whether this user can use it (core/app/PortDevice.h).

#include <QWidget>

namespace Ui {
class TEcrSettingsFrame;
}

class TEcrSettingsFrame : public QWidget {
    Q_OBJECT
public:
    explicit TEcrSettingsFrame(QWidget* parent = nullptr);
    ~TEcrSettingsFrame() override;

    // Controls := the settings variables; the save button ends disabled and
    // the information line empty.
    void LoadSettingsIntoView();
    // Settings variables := the controls, and the speed 115200 (the link's
    // only speed). Writes nothing to the file.
    void ApplyViewToSettings();

public slots:
    // The event handlers, run through RunHandler by the buttons.
    void btnTestConnectionClick();
    void btnSaveClick();

private:
    void UpdatePortDevice();

    Ui::TEcrSettingsFrame* ui_;
};
