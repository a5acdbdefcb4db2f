#include "ledger/ledgermodel.h"

#include "ledger/ledgersheet.h"

namespace vellumar {

namespace {

bool hasLineBreak(QStringView text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

// One line per grid row: a remark's line breaks show as a return mark; the whole text is the
// tooltip, which the grid shows where a cell does not show all of it.
QString oneLine(QStringView text) {
    QString line = text.toString();
    line.replace(QStringLiteral("\r\n"), QStringLiteral("↵"));
    line.replace(u'\n', u'↵');
    line.replace(u'\r', u'↵');
    return line;
}

} // namespace

LedgerModel::LedgerModel(LedgerSheet& sheet, QObject* parent)
    : QAbstractTableModel(parent), m_sheet(sheet) {
    connect(&sheet, &LedgerSheet::rowChanged, this, &LedgerModel::rowChanged);
    connect(&sheet, &LedgerSheet::rowsAboutToBeRemoved, this, &LedgerModel::beginRowRemoval);
    connect(&sheet, &LedgerSheet::rowsRemoved, this, &LedgerModel::endRowRemoval);
    connect(&sheet, &LedgerSheet::rowAboutToBeInserted, this, &LedgerModel::beginRowInsert);
    connect(&sheet, &LedgerSheet::rowInserted, this, &LedgerModel::endRowInsert);
    connect(&sheet, &LedgerSheet::rowsAboutToBeInserted, this, &LedgerModel::beginRowsInsert);
    connect(&sheet, &LedgerSheet::rowsInserted, this, &LedgerModel::endRowInsert);
    connect(&sheet, &LedgerSheet::contentAboutToBeReplaced, this, &LedgerModel::beginResetModel);
    connect(&sheet, &LedgerSheet::contentReplaced, this, &LedgerModel::endResetModel);
}

int LedgerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_sheet.rowCount() - 1);
}

int LedgerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LedgerSheet::ColumnCount;
}

int LedgerModel::columnWidth(int column) {
    static constexpr int Widths[LedgerSheet::ColumnCount] = {40, 150, 100, 50, 80, 100, 170, 220};
    return column >= 0 && column < LedgerSheet::ColumnCount ? Widths[column] : 0;
}

Qt::Alignment LedgerModel::alignment(int column) {
    switch (column) {
    case LedgerSheet::Unit:
        return Qt::AlignCenter;
    case LedgerSheet::UnitPrice:
    case LedgerSheet::Total:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

QVariant LedgerModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QStringView text = m_sheet.cellView(sheetRow(index.row()), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return hasLineBreak(text) ? oneLine(text) : text.toString();
    case Qt::ToolTipRole:
        return text.isEmpty() ? QVariant() : QVariant(text.toString());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()));
    default:
        return {};
    }
}

QVariant LedgerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(sheetRow(section)) : QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return oneLine(m_sheet.cellView(0, section));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

Qt::ItemFlags LedgerModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void LedgerModel::rowChanged(int row) {
    if (row == 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, LedgerSheet::ColumnCount - 1);
    else
        Q_EMIT dataChanged(index(modelRow(row), 0),
                           index(modelRow(row), LedgerSheet::ColumnCount - 1));
}

void LedgerModel::beginRowRemoval(int first, int count) {
    m_resetting = first == 0;
    if (m_resetting)
        beginResetModel();
    else
        beginRemoveRows(QModelIndex(), modelRow(first), modelRow(first + count - 1));
}

void LedgerModel::endRowRemoval() {
    if (m_resetting)
        endResetModel();
    else
        endRemoveRows();
    m_resetting = false;
}

void LedgerModel::beginRowInsert(int row) {
    beginRowsInsert(row, 1);
}

void LedgerModel::beginRowsInsert(int first, int count) {
    m_resetting = first == 0;
    if (m_resetting)
        beginResetModel();
    else
        beginInsertRows(QModelIndex(), modelRow(first), modelRow(first + count - 1));
}

void LedgerModel::endRowInsert() {
    if (m_resetting)
        endResetModel();
    else
        endInsertRows();
    m_resetting = false;
}

} // namespace vellumar
