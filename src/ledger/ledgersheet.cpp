#include "ledger/ledgersheet.h"

#include <algorithm>

namespace vellumar {

LedgerSheet::Row::Row(QString joined, const Ends& ends) : m_text(std::move(joined)), m_end(ends) {
    if (m_text.isEmpty())
        m_text = QString();
}

QStringView LedgerSheet::Row::cell(int column) const {
    const std::uint32_t begin = column == 0 ? 0 : m_end[static_cast<size_t>(column - 1)];
    const std::uint32_t end = m_end[static_cast<size_t>(column)];
    return QStringView(m_text).sliced(begin, end - begin);
}

void LedgerSheet::Row::setCell(int column, QStringView text) {
    const std::uint32_t begin = column == 0 ? 0 : m_end[static_cast<size_t>(column - 1)];
    const std::uint32_t end = m_end[static_cast<size_t>(column)];
    const auto delta = static_cast<std::int64_t>(text.size()) - (end - begin);
    // QString::replace copies text that points into this row's own buffer before changing it.
    m_text.replace(begin, end - begin, text.data(), text.size());
    for (size_t c = static_cast<size_t>(column); c < ColumnCount; ++c)
        m_end[c] = static_cast<std::uint32_t>(m_end[c] + delta);
    if (m_text.isEmpty())
        m_text = QString(); // a free row holds no buffer at all
}

LedgerSheet::LedgerSheet(int rowCount, QObject* parent)
    : QObject(parent), m_rows(static_cast<size_t>(std::max(rowCount, 0))) {}

const QStringList& LedgerSheet::titles() {
    static const QStringList names = {QStringLiteral("序号"), QStringLiteral("商品名称"),
                                      QStringLiteral("数量"), QStringLiteral("单位"),
                                      QStringLiteral("单价"), QStringLiteral("总金额"),
                                      QStringLiteral("日期"), QStringLiteral("备注")};
    return names;
}

bool LedgerSheet::contains(int row, int column) const {
    return row >= 0 && row < rowCount() && column >= 0 && column < ColumnCount;
}

QString LedgerSheet::cell(int row, int column) const {
    return cellView(row, column).toString();
}

QStringView LedgerSheet::cellView(int row, int column) const {
    if (!contains(row, column))
        return {};
    return m_rows[static_cast<size_t>(row)].cell(column);
}

void LedgerSheet::setCell(int row, int column, const QString& text) {
    if (!contains(row, column))
        return;
    m_rows[static_cast<size_t>(row)].setCell(column, text);
    if (column == Serial && text.isEmpty())
        m_freeSearchStart = std::min(m_freeSearchStart, row);
    Q_EMIT rowChanged(row);
}

int LedgerSheet::firstFreeRow() const {
    for (size_t row = static_cast<size_t>(m_freeSearchStart); row < m_rows.size(); ++row) {
        if (m_rows[row].cell(Serial).isEmpty()) {
            m_freeSearchStart = static_cast<int>(row);
            return m_freeSearchStart;
        }
    }
    m_freeSearchStart = rowCount();
    return -1;
}

void LedgerSheet::removeRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    removeRows(row, 1);
    Q_EMIT rowRemoved(row);
}

void LedgerSheet::removeRows(int first, int count) {
    first = std::max(first, 0);
    count = std::min(count, rowCount() - first);
    if (count <= 0)
        return;
    Q_EMIT rowsAboutToBeRemoved(first, count);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + first + count);
    // The rows that were known to be records stay records, some of them now higher up.
    if (first < m_freeSearchStart)
        m_freeSearchStart = std::max(first, m_freeSearchStart - count);
    Q_EMIT rowsRemoved(first, count);
}

int LedgerSheet::appendRow() {
    const int row = rowCount();
    Q_EMIT rowAboutToBeAppended(row);
    m_rows.emplace_back();
    Q_EMIT rowAppended(row);
    return row;
}

void LedgerSheet::applyTitles() {
    if (m_rows.empty()) {
        Q_EMIT rowAboutToBeAppended(0);
        m_rows.emplace_back();
        Q_EMIT rowAppended(0);
    }
    for (int column = 0; column < ColumnCount; ++column)
        m_rows.front().setCell(column, titles().at(column));
    Q_EMIT rowChanged(0);
}

void LedgerSheet::replaceRows(std::vector<Row> rows, BorrowedText text) {
    Q_EMIT contentAboutToBeReplaced();
    m_rows = std::move(rows);
    // The old rows are gone, so the text they borrowed may go too.
    m_borrowedText = std::move(text);
    m_freeSearchStart = 0;
    Q_EMIT contentReplaced();
}

} // namespace vellumar
