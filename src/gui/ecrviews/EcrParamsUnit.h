#pragma once
// The ECR parameters view. For now a placeholder; the advertising lines and
// the cashiers come with the parameter views.

#include <QWidget>

namespace Ui {
class TEcrParamsFrame;
}

class TEcrParamsFrame : public QWidget {
    Q_OBJECT
public:
    explicit TEcrParamsFrame(QWidget* parent = nullptr);
    ~TEcrParamsFrame() override;

private:
    Ui::TEcrParamsFrame* ui_;
};
