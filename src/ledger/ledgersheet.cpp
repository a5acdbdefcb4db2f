#include "ledger/ledgersheet.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace vellumar {

LedgerSheet::Row::Row(QString joined, const Ends& ends) : m_text(std::move(joined)) {
    if (m_text.isEmpty()) {
        m_text = QString(); // a free row holds no buffer at all
        return;
    }
    m_long = m_text.size() > 0xFFFF;
    if (!m_long) {
        for (size_t c = 0; c + 1 < ColumnCount; ++c)
            m_end[c] = static_cast<std::uint16_t>(ends[c]);
        return;
    }
    QString text;
    text.reserve(m_text.size() + LongTailSize);
    text.append(m_text);
    for (size_t c = 0; c + 1 < ColumnCount; ++c) {
        text.append(QChar(static_cast<char16_t>(ends[c] & 0xFFFF)));
        text.append(QChar(static_cast<char16_t>(ends[c] >> 16)));
    }
    m_text = std::move(text);
}

LedgerSheet::Row::Ends LedgerSheet::Row::ends() const {
    Ends all{};
    const qsizetype cells = cellsSize();
    for (size_t c = 0; c + 1 < ColumnCount; ++c) {
        if (m_long) {
            const auto at = cells + 2 * static_cast<qsizetype>(c);
            all[c] = std::uint32_t(m_text.at(at).unicode()) |
                     (std::uint32_t(m_text.at(at + 1).unicode()) << 16);
        } else {
            all[c] = m_end[c];
        }
    }
    all[ColumnCount - 1] = static_cast<std::uint32_t>(cells);
    return all;
}

QStringView LedgerSheet::Row::cell(int column) const {
    if (m_text.isEmpty())
        return {};
    const auto c = static_cast<size_t>(column);
    if (!m_long) {
        const qsizetype begin = c == 0 ? 0 : m_end[c - 1];
        const qsizetype end = c + 1 == ColumnCount ? m_text.size() : m_end[c];
        return QStringView(m_text).sliced(begin, end - begin);
    }
    const Ends all = ends();
    const std::uint32_t begin = c == 0 ? 0 : all[c - 1];
    return QStringView(m_text).sliced(begin, all[c] - begin);
}

void LedgerSheet::Row::setCell(int column, QStringView text) {
    Ends all = ends();
    if (m_text.isEmpty())
        all.fill(0);
    const auto c = static_cast<size_t>(column);
    const std::uint32_t begin = c == 0 ? 0 : all[c - 1];
    const std::uint32_t end = all[c];
    const auto delta = static_cast<std::int64_t>(text.size()) - (end - begin);
    QString cells = m_long ? m_text.first(cellsSize()) : m_text;
    // QString::replace copies text that points into the row's own buffer before changing it.
    cells.replace(begin, end - begin, text.data(), text.size());
    for (size_t n = c; n < ColumnCount; ++n)
        all[n] = static_cast<std::uint32_t>(all[n] + delta);
    *this = Row(std::move(cells), all);
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
    if (column == Serial && text.isEmpty() && row > 0)
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
    m_freeSearchStart = std::max(1, rowCount());
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
        m_freeSearchStart = std::max({1, first, m_freeSearchStart - count});
    Q_EMIT rowsRemoved(first, count);
}

int LedgerSheet::appendRow() {
    const int row = rowCount();
    insertRow(row);
    return row;
}

void LedgerSheet::insertRow(int row) {
    row = std::clamp(row, 0, rowCount());
    Q_EMIT rowAboutToBeInserted(row);
    m_rows.emplace(m_rows.begin() + row);
    // The new row is free; what it pushed down from row 0 may be free as well.
    if (row < m_freeSearchStart)
        m_freeSearchStart = std::max(1, row);
    Q_EMIT rowInserted(row);
}

void LedgerSheet::applyTitles() {
    if (m_rows.empty())
        insertRow(0);
    for (int column = 0; column < ColumnCount; ++column)
        m_rows.front().setCell(column, titles().at(column));
    Q_EMIT rowChanged(0);
}

void LedgerSheet::replaceRows(std::vector<Row> rows, BorrowedText text) {
    Q_EMIT contentAboutToBeReplaced();
    m_rows = std::move(rows);
    // The old rows are gone, so the text they borrowed may go too.
    m_borrowedText.clear();
    if (text)
        m_borrowedText.push_back(std::move(text));
    m_freeSearchStart = 1;
    Q_EMIT contentReplaced();
}

void LedgerSheet::keepText(const std::vector<BorrowedText>& text) {
    for (const BorrowedText& block : text)
        if (std::find(m_borrowedText.begin(), m_borrowedText.end(), block) == m_borrowedText.end())
            m_borrowedText.push_back(block);
}

LedgerSheet::TakenRows LedgerSheet::takeRows(int first, int count) {
    TakenRows taken;
    first = std::clamp(first, 0, rowCount());
    count = std::clamp(count, 0, rowCount() - first);
    if (count == 0)
        return taken;
    Q_EMIT rowsAboutToBeRemoved(first, count);
    const auto begin = static_cast<size_t>(first);
    const auto end = begin + static_cast<size_t>(count);
    taken.m_text = m_borrowedText;
    if (static_cast<size_t>(count) * 2 >= m_rows.size()) {
        // Most of the sheet goes: the rows that stay move to fresh storage, and the taken
        // ones keep the old storage where they are.
        std::vector<Row> staying;
        staying.reserve(m_rows.size() - static_cast<size_t>(count));
        std::move(m_rows.begin(), m_rows.begin() + first, std::back_inserter(staying));
        std::move(m_rows.begin() + static_cast<qsizetype>(end), m_rows.end(),
                  std::back_inserter(staying));
        taken.m_storage = std::exchange(m_rows, std::move(staying));
        taken.m_first = begin;
    } else {
        taken.m_storage.reserve(static_cast<size_t>(count));
        std::move(m_rows.begin() + first, m_rows.begin() + static_cast<qsizetype>(end),
                  std::back_inserter(taken.m_storage));
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + static_cast<qsizetype>(end));
    }
    taken.m_count = static_cast<size_t>(count);
    if (first < m_freeSearchStart)
        m_freeSearchStart = std::max({1, first, m_freeSearchStart - count});
    Q_EMIT rowsRemoved(first, count);
    return taken;
}

void LedgerSheet::insertRows(int at, TakenRows rows) {
    if (rows.m_count == 0)
        return;
    at = std::clamp(at, 0, rowCount());
    const int count = rows.count();
    Q_EMIT rowsAboutToBeInserted(at, count);
    keepText(rows.m_text);
    std::vector<Row>& storage = rows.m_storage;
    const auto before = static_cast<size_t>(at);
    const size_t after = m_rows.size() - before;
    if (rows.m_first == before && storage.size() - rows.m_first - rows.m_count == after) {
        // The storage still has the places of the rows around them: fill those in.
        std::move(m_rows.begin(), m_rows.begin() + at, storage.begin());
        std::move(m_rows.begin() + at, m_rows.end(),
                  storage.begin() + static_cast<qsizetype>(before + rows.m_count));
        m_rows = std::move(storage);
    } else {
        const auto first = storage.begin() + static_cast<qsizetype>(rows.m_first);
        m_rows.insert(m_rows.begin() + at, std::make_move_iterator(first),
                      std::make_move_iterator(first + count));
    }
    // The rows put back may be free, and so may what they pushed down from row 0.
    if (at < m_freeSearchStart)
        m_freeSearchStart = std::max(1, at);
    Q_EMIT rowsInserted(at, count);
}

void LedgerSheet::swapContent(Content& content) {
    Q_EMIT contentAboutToBeReplaced();
    std::swap(m_rows, content.rows);
    std::swap(m_borrowedText, content.text);
    m_freeSearchStart = 1;
    Q_EMIT contentReplaced();
}

LedgerSheet::Row LedgerSheet::row(int index) const {
    if (index < 0 || index >= rowCount())
        return Row();
    return m_rows[static_cast<size_t>(index)];
}

void LedgerSheet::setRow(int index, const Row& row) {
    if (index < 0 || index >= rowCount())
        return;
    m_rows[static_cast<size_t>(index)] = row;
    if (row.cell(Serial).isEmpty() && index > 0)
        m_freeSearchStart = std::min(m_freeSearchStart, index);
    Q_EMIT rowChanged(index);
}

} // namespace vellumar
