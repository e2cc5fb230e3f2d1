#pragma once
// The visible-columns dialog: the columns of a grid as a check list, in the
// grid's order. Checking decides visibility (on OK only); dragging an item
// onto another moves the grid column at once, and that move stays even when
// the dialog is cancelled. One dialog serves the whole program
// (ColListForm()).

#include <QDialog>
#include <QPoint>
#include <string>

class QListWidget;
class QTableView;

namespace Ui {
class TColListForm;
}

class TColListForm : public QDialog {
    Q_OBJECT
public:
    explicit TColListForm(QWidget* parent = nullptr);
    ~TColListForm() override;

    // Runs the dialog modally on grid. Returns the hidden-columns text, one
    // character per column position, '0' visible, '1' hidden: after OK the
    // text of the new visibility, after Cancel the text of the columns as
    // they were when the dialog opened.
    std::string Execute(QTableView* grid);

    QListWidget* CheckList() const;

public slots:
    // Refuses to hide every column; otherwise applies the check marks.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void SetAllChecked(bool checked);
    // Moves the item at position from to position to, and the grid's column
    // with it.
    void MoveItem(int from, int to);
    std::string HiddenText() const;

    Ui::TColListForm* ui_;
    QTableView* grid_ = nullptr;
    std::string result_;
    int dragRow_ = -1;
    QPoint pressPos_;
    bool dragging_ = false;
};

// The program's one column dialog, made on first use, a child of the main
// window when there is one.
TColListForm& ColListForm();
