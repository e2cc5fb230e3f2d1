#pragma once
// The PLU grid's model: a read-only window on a PluTable in its current
// order, one model row per table position. It follows the table through the
// table's observer calls, so loads, sorts and edits reach every view of it;
// a sort keeps the selection on the same rows. Rows whose flags mark them
// deleted (PluFlagsShownDeleted) have a silver background.
//
// Columns are the grid's, in its default order: NUMB, NAME, UNIT, TAX_GROUP,
// BARCODE, PRICE_SELL, PAY_TYPE, PLU_SUBGROUP, PLU_GROUP, ALTE_TAXE,
// TAX_VALUE, COMMENT, FLAGS.

#include "core/plu/PluTable.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>

inline constexpr int kPluGridColumnCount = kPluFieldCount;

class TPluGridModel : public QAbstractTableModel, private TPluTableObserver {
    Q_OBJECT
public:
    explicit TPluGridModel(PluTable& table, QObject* parent = nullptr);
    ~TPluGridModel() override;

    static TPluField FieldOfColumn(int column);
    static int ColumnOfField(TPluField field);

    // Column titles from the display labels in the chosen language; the
    // department and flags columns have fixed titles.
    void AssignDisplayLabels();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The table's current row moved (by a search, an append, a load).
    void CurrentRowChanged(int position);

private:
    void BeginReset() override;
    void EndReset() override;
    void BeginAppend(int position) override;
    void EndAppend() override;
    void BeginRemove(int position) override;
    void EndRemove() override;
    void BeginReorder() override;
    void EndReorder() override;
    void RowsChanged(int first, int last) override;
    void CurrentChanged(int position) override;

    PluTable& table_;
    std::array<QString, kPluGridColumnCount> titles_;
    // Across a reorder: the rows behind the persistent indexes.
    QModelIndexList reorderIndexes_;
    std::vector<TPluRowId> reorderIds_;
};
