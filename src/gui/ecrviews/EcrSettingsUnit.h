#pragma once
// The communication settings view. For now a placeholder with the seam the
// main window calls; the port controls come with the parameter views.

#include <QWidget>

namespace Ui {
class TEcrSettingsFrame;
}

class TEcrSettingsFrame : public QWidget {
    Q_OBJECT
public:
    explicit TEcrSettingsFrame(QWidget* parent = nullptr);
    ~TEcrSettingsFrame() override;

    // Fills the view's controls from the settings variables.
    void LoadSettingsIntoView();
    int LoadCount() const { return loadCount_; }

private:
    Ui::TEcrSettingsFrame* ui_;
    int loadCount_ = 0;
};
