#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace vellumar {

// The ledger as a sheet of text cells: row 0 holds the column titles, every later row one goods
// record or nothing (a free row has an empty serial number). Each row keeps its eight cells in
// one string, so a ledger of a million records stays small and quick to walk.
class LedgerSheet : public QObject {
    Q_OBJECT

public:
    enum Column {
        Serial = 0,
        Product,
        Quantity,
        Unit,
        UnitPrice,
        Total,
        Date,
        Remark,
    };
    static constexpr int ColumnCount = 8;
    static constexpr int InitialRowCount = 1000;

    class Row {
    public:
        using Ends = std::array<std::uint32_t, ColumnCount>;

        Row() = default;
        // A row made of its cells written one after another and where each cell ends. The
        // text may borrow memory (QString::fromRawData); it is copied on the first change.
        Row(QString joined, const Ends& ends);

        QStringView cell(int column) const;
        void setCell(int column, QStringView text);
        bool isEmpty() const { return m_text.isEmpty(); }

    private:
        // Where each cell ends. A row of up to 65535 characters keeps the ends of its first
        // seven cells here (the last ends with the text); a longer row keeps all of them as
        // 32-bit numbers after its cells, at the end of m_text.
        static constexpr int LongTailSize = 2 * (ColumnCount - 1);
        Ends ends() const;
        qsizetype cellsSize() const { return m_text.size() - (m_long ? LongTailSize : 0); }

        QString m_text; // the cells one after another
        std::array<std::uint16_t, ColumnCount - 1> m_end{};
        bool m_long = false;
    };

    // Memory that rows built by a loader borrow their text from; the sheet keeps it alive for
    // as long as those rows may point into it.
    using BorrowedText = std::shared_ptr<const void>;

    // Rows taken out of a sheet in one piece, to be put back later (an undo step holds them).
    // The rows are moved, never copied: a large block stays in the storage it had in the sheet,
    // between the places of the rows that stayed, so taking out most of a sheet costs only the
    // rows that stay. The borrowed text goes along, so the rows can point into it for as long
    // as they live.
    class TakenRows {
    public:
        TakenRows() = default;
        int count() const { return static_cast<int>(m_count); }
        const Row& at(int index) const { return m_storage[m_first + static_cast<size_t>(index)]; }

    private:
        friend class LedgerSheet;
        std::vector<Row> m_storage;
        size_t m_first = 0;
        size_t m_count = 0;
        std::vector<BorrowedText> m_text;
    };

    // The whole content of a sheet, as a load makes it.
    struct Content {
        std::vector<Row> rows;
        std::vector<BorrowedText> text;
    };

    // A new sheet of rowCount empty rows (titles are not written: see applyTitles).
    explicit LedgerSheet(int rowCount = InitialRowCount, QObject* parent = nullptr);

    static const QStringList& titles();

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // Outside the sheet a cell reads as the empty text.
    QString cell(int row, int column) const;
    QStringView cellView(int row, int column) const;
    // Writes are ignored outside the sheet.
    void setCell(int row, int column, const QString& text);

    bool isFree(int row) const { return cellView(row, Serial).isEmpty(); }
    // The first row below the titles whose serial number is empty; -1 when every row has one.
    // Row 0 is never the answer, even when a loaded file left its first cell empty. The search
    // starts where the last one ended, so asking once per new record costs next to nothing.
    int firstFreeRow() const;

    // Deletes a row; the rows below move up by one.
    void removeRow(int row);
    // Deletes count rows from first on in one step (what deleting them one by one from the
    // bottom up gives); the range is clipped to the sheet.
    void removeRows(int first, int count);
    // Adds one empty row at the end and answers its index.
    int appendRow();
    // Puts an empty row at the index (clipped to the sheet); the rows from there move down.
    void insertRow(int row);
    // Writes the eight titles into row 0.
    void applyTitles();

    // Replaces the whole content, as a load from file does.
    void replaceRows(std::vector<Row> rows, BorrowedText text = {});
    const std::vector<Row>& rows() const { return m_rows; }

    // Takes count rows from first on out of the sheet (clipped to it); the rows below move up.
    TakenRows takeRows(int first, int count);
    // Puts rows back at the index (clipped to the sheet) in one step, with one signal pair; the
    // rows from there move down. Rows taken from here and put back where they were, with the
    // sheet as it was then, cost only the rows that stayed.
    void insertRows(int at, TakenRows rows);
    // Exchanges the whole content with another one (a loaded file, or what was shown before).
    void swapContent(Content& content);
    // One row as a whole, and writing one as a whole (ignored outside the sheet).
    Row row(int index) const;
    void setRow(int index, const Row& row);

Q_SIGNALS:
    // After a cell of the row was written.
    void rowChanged(int row);
    // After a single row was deleted by removeRow.
    void rowRemoved(int row);
    // Around every deletion, single or bulk.
    void rowsAboutToBeRemoved(int first, int count);
    void rowsRemoved(int first, int count);
    // Around a new empty row, at the end or anywhere else.
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    // Around rows put in as a block (insertRows).
    void rowsAboutToBeInserted(int first, int count);
    void rowsInserted(int first, int count);
    void contentAboutToBeReplaced();
    void contentReplaced();

private:
    bool contains(int row, int column) const;
    void keepText(const std::vector<BorrowedText>& text);

    std::vector<Row> m_rows;
    // Every block that a row of the sheet may point into; usually the one of the last load.
    std::vector<BorrowedText> m_borrowedText;
    // Every row from 1 up to this one has a serial number, so the search for a free row starts
    // here; never below 1.
    mutable int m_freeSearchStart = 1;
};

} // namespace vellumar
