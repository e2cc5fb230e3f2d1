#include "gui/plu/ColListUnit.h"

#include "core/app/MsgINISupp.h"
#include "gui/app/Application.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MyMessageUnit.h"
#include "ui_ColListUnit.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPointer>
#include <QTableView>

namespace {

// The pointer travels this far with the button down before an item drags.
constexpr int kDragDistance = 10;

} // namespace

TColListForm::TColListForm(QWidget* parent) : QDialog(parent), ui_(new Ui::TColListForm)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    ui_->aCheckListBox->viewport()->installEventFilter(this);
    connect(ui_->btnSelectAll, &QPushButton::clicked, this, [this] { SetAllChecked(true); });
    connect(ui_->btnSelectNone, &QPushButton::clicked, this, [this] { SetAllChecked(false); });
    connect(ui_->btnOk, &QPushButton::clicked, this, &TColListForm::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &TColListForm::reject);
}

TColListForm::~TColListForm()
{
    delete ui_;
}

QListWidget* TColListForm::CheckList() const
{
    return ui_->aCheckListBox;
}

std::string TColListForm::Execute(QTableView* grid)
{
    grid_ = grid;
    exec();
    grid_ = nullptr;
    return result_;
}

void TColListForm::showEvent(QShowEvent* event)
{
    if (TLngINISupp* lng = AppLanguageSupport())
        RunHandler([&] { TranslateControl(*lng, this); });
    FillList();
    result_ = HiddenText();
    dragRow_ = -1;
    dragging_ = false;
    QDialog::showEvent(event);
}

void TColListForm::FillList()
{
    QListWidget* list = ui_->aCheckListBox;
    list->clear();
    if (!grid_)
        return;
    const QHeaderView* header = grid_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        auto* item = new QListWidgetItem(
            grid_->model()->headerData(logical, Qt::Horizontal).toString(), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(header->isSectionHidden(logical) ? Qt::Unchecked : Qt::Checked);
    }
    list->setCurrentRow(0);
}

std::string TColListForm::HiddenText() const
{
    std::string text;
    if (!grid_)
        return text;
    const QHeaderView* header = grid_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual)
        text += header->isSectionHidden(header->logicalIndex(visual)) ? '1' : '0';
    return text;
}

void TColListForm::SetAllChecked(bool checked)
{
    QListWidget* list = ui_->aCheckListBox;
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TColListForm::accept()
{
    QListWidget* list = ui_->aCheckListBox;
    bool anyChecked = false;
    for (int i = 0; i < list->count(); ++i)
        anyChecked = anyChecked || list->item(i)->checkState() == Qt::Checked;
    if (!anyChecked) {
        MyMessageDlg(kTextCheckOneField, mtError, mbOK);
        return;
    }
    if (grid_) {
        QHeaderView* header = grid_->horizontalHeader();
        for (int visual = 0; visual < header->count() && visual < list->count(); ++visual)
            header->setSectionHidden(header->logicalIndex(visual),
                                     list->item(visual)->checkState() != Qt::Checked);
        result_ = HiddenText();
    }
    QDialog::accept();
}

void TColListForm::MoveItem(int from, int to)
{
    QListWidget* list = ui_->aCheckListBox;
    if (from == to || from < 0 || to < 0 || from >= list->count() || to >= list->count())
        return;
    QListWidgetItem* item = list->takeItem(from);
    list->insertItem(to, item);
    list->setCurrentRow(to);
    if (grid_)
        grid_->horizontalHeader()->moveSection(from, to);
}

bool TColListForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui_->aCheckListBox->viewport())
        return QDialog::eventFilter(watched, event);
    QListWidget* list = ui_->aCheckListBox;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            dragRow_ = list->row(list->itemAt(mouse->position().toPoint()));
            pressPos_ = mouse->position().toPoint();
            dragging_ = false;
        }
        break;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (dragRow_ < 0 || !(mouse->buttons() & Qt::LeftButton))
            break;
        if (!dragging_ &&
            (mouse->position().toPoint() - pressPos_).manhattanLength() >= kDragDistance) {
            dragging_ = true;
            list->viewport()->setCursor(Qt::DragMoveCursor);
        }
        if (dragging_)
            return true;
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        const bool dropped = dragging_;
        const int from = dragRow_;
        dragRow_ = -1;
        dragging_ = false;
        if (!dropped)
            break;
        list->viewport()->unsetCursor();
        MoveItem(from, list->row(list->itemAt(mouse->position().toPoint())));
        return true;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

TColListForm& ColListForm()
{
    static QPointer<TColListForm> form;
    if (!form)
        form = new TColListForm(TMainForm::Instance());
    return *form;
}
