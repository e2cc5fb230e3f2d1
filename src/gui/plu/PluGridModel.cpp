#include "gui/plu/PluGridModel.h"

#include "gui/app/GuiText.h"

#include <QColor>

namespace {

constexpr std::array<TPluField, kPluGridColumnCount> kColumns = {
    TPluField::NUMB,       TPluField::NAME,         TPluField::UNIT,
    TPluField::TAX_GROUP,  TPluField::BARCODE,      TPluField::PRICE_SELL,
    TPluField::PAY_TYPE,   TPluField::PLU_SUBGROUP, TPluField::PLU_GROUP,
    TPluField::ALTE_TAXE,  TPluField::TAX_VALUE,    TPluField::COMMENT,
    TPluField::FLAGS,
};

const QColor kDeletedRowColour(192, 192, 192);

} // namespace

TPluGridModel::TPluGridModel(PluTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table)
{
    table_.AddObserver(this);
    AssignDisplayLabels();
}

TPluGridModel::~TPluGridModel()
{
    table_.RemoveObserver(this);
}

TPluField TPluGridModel::FieldOfColumn(int column)
{
    return kColumns.at(column);
}

int TPluGridModel::ColumnOfField(TPluField field)
{
    for (int c = 0; c < kPluGridColumnCount; ++c)
        if (kColumns[c] == field)
            return c;
    return -1;
}

void TPluGridModel::AssignDisplayLabels()
{
    for (int c = 0; c < kPluGridColumnCount; ++c) {
        switch (kColumns[c]) {
        case TPluField::PLU_SUBGROUP:
            titles_[c] = QStringLiteral("Department");
            break;
        case TPluField::FLAGS:
            titles_[c] = QStringLiteral("Flags");
            break;
        default:
            titles_[c] = FromCp(PluFieldDisplayLabel(kColumns[c]));
            break;
        }
    }
    emit headerDataChanged(Qt::Horizontal, 0, kPluGridColumnCount - 1);
}

int TPluGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : table_.Count();
}

int TPluGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kPluGridColumnCount;
}

QVariant TPluGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= table_.Count())
        return {};
    const TPluField field = kColumns[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return FromCp(table_.Row(index.row()).DisplayText(field));
    case Qt::TextAlignmentRole:
        return PluFieldIsText(field) ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                     : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (PluFlagsShownDeleted(table_.Row(index.row()).FLAGS))
            return kDeletedRowColour;
        return {};
    default:
        return {};
    }
}

QVariant TPluGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kPluGridColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return titles_[section];
    return {};
}

void TPluGridModel::BeginReset()
{
    beginResetModel();
}

void TPluGridModel::EndReset()
{
    endResetModel();
}

void TPluGridModel::BeginAppend(int position)
{
    beginInsertRows(QModelIndex(), position, position);
}

void TPluGridModel::EndAppend()
{
    endInsertRows();
}

void TPluGridModel::BeginRemove(int position)
{
    beginRemoveRows(QModelIndex(), position, position);
}

void TPluGridModel::EndRemove()
{
    endRemoveRows();
}

void TPluGridModel::BeginReorder()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    reorderIndexes_ = persistentIndexList();
    reorderIds_.clear();
    reorderIds_.reserve(reorderIndexes_.size());
    for (const QModelIndex& index : reorderIndexes_)
        reorderIds_.push_back(table_.Id(index.row()));
}

void TPluGridModel::EndReorder()
{
    QModelIndexList moved;
    moved.reserve(reorderIndexes_.size());
    for (qsizetype i = 0; i < reorderIndexes_.size(); ++i) {
        const int position = table_.Position(reorderIds_[i]);
        moved << (position < 0 ? QModelIndex() : index(position, reorderIndexes_[i].column()));
    }
    changePersistentIndexList(reorderIndexes_, moved);
    reorderIndexes_.clear();
    reorderIds_.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TPluGridModel::RowsChanged(int first, int last)
{
    emit dataChanged(index(first, 0), index(last, kPluGridColumnCount - 1));
}

void TPluGridModel::CurrentChanged(int position)
{
    emit CurrentRowChanged(position);
}
