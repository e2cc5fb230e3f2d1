#pragma once
// The PLU view. For now a placeholder with the seams the main window calls;
// the grid, the PLU table and the commands come with the PLU catalogue.

#include <QWidget>

namespace Ui {
class TPluListFrame;
}

class TPluListFrame : public QWidget {
    Q_OBJECT
public:
    explicit TPluListFrame(QWidget* parent = nullptr);
    ~TPluListFrame() override;

    // Run once after the view has been created, translated and shown.
    void InitPluView();
    // Run before the view is destroyed: discards the PLU list without asking.
    void DonePluView();
    // Back to the PLU list: the PLU grid shown instead of the alte taxe grid,
    // the tax buttons hidden, the PLU buttons enabled, the view shown.
    void ShowPluListMode();

    // What the placeholder shows instead of its grids.
    bool InPluListMode() const { return pluListMode_; }
    void ShowAlteTaxeMode() { pluListMode_ = false; }
    int InitCount() const { return initCount_; }

private:
    Ui::TPluListFrame* ui_;
    bool pluListMode_ = true;
    int initCount_ = 0;
};
