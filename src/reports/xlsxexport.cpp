#include "reports/xlsxexport.h"

#include "reports/recorddates.h"
#include "storage/safefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <memory>

namespace vellumar::Xlsx {

namespace {

// Roughly how many pixels of the grid's font one character of the spreadsheet's default width
// unit takes.
constexpr double PixelsPerCharacter = 6.0;
constexpr int MaxDecimals = 20;
constexpr int MaxSignificantDigits = 15;

QString libraryReason(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

Status libraryFailure(lxw_error error) {
    return Status::failure(QStringLiteral("生成 Excel 文件时出错。"), libraryReason(error));
}

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const {
        if (workbook)
            workbook_close(workbook);
    }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookCloser>;

// Formats of the workbook, made once: one per number of decimals, the two date forms.
class Formats {
public:
    explicit Formats(lxw_workbook* workbook) : m_workbook(workbook) {
        m_title = workbook_add_format(workbook);
        format_set_bold(m_title);
        format_set_align(m_title, LXW_ALIGN_CENTER);
        m_wrap = workbook_add_format(workbook);
        format_set_text_wrap(m_wrap);
        format_set_align(m_wrap, LXW_ALIGN_VERTICAL_TOP);
        m_dateTime = numberFormat("yyyy-mm-dd hh:mm:ss");
        m_date = numberFormat("yyyy-mm-dd");
        m_bold = workbook_add_format(workbook);
        format_set_bold(m_bold);
    }
    lxw_format* title() const { return m_title; }
    lxw_format* wrap() const { return m_wrap; }
    lxw_format* dateTime() const { return m_dateTime; }
    lxw_format* date() const { return m_date; }
    lxw_format* bold() const { return m_bold; }
    lxw_format* decimals(int count) {
        lxw_format*& format = m_decimals[count];
        if (!format) {
            const QByteArray pattern = count == 0 ? QByteArray("0") : "0." + QByteArray(count, '0');
            format = numberFormat(pattern.constData());
        }
        return format;
    }

private:
    lxw_format* numberFormat(const char* pattern) {
        lxw_format* format = workbook_add_format(m_workbook);
        format_set_num_format(format, pattern);
        return format;
    }
    lxw_workbook* m_workbook;
    lxw_format* m_title;
    lxw_format* m_wrap;
    lxw_format* m_dateTime;
    lxw_format* m_date;
    lxw_format* m_bold;
    lxw_format* m_decimals[MaxDecimals + 1] = {};
};

std::optional<lxw_datetime> excelDate(QStringView text) {
    const DateForm form = programDateForm(text);
    if (form == DateForm::None)
        return std::nullopt;
    const std::optional<QDateTime> moment = readRecordDate(text);
    // Before March 1900 spreadsheets count days differently; such a date stays text.
    if (!moment || moment->date() < QDate(1900, 3, 1) || moment->date().year() > 9999)
        return std::nullopt;
    const QDate day = moment->date();
    const QTime time = moment->time();
    return lxw_datetime{day.year(),  day.month(),   day.day(),
                        time.hour(), time.minute(), double(time.second())};
}

// The sum of one totals column, over the cells written as numbers.
struct ColumnSum {
    DecimalNumber sum;
    qint64 textCells = 0;
};

class SheetWriter {
public:
    SheetWriter(lxw_workbook* workbook, lxw_worksheet* sheet, const Table& table)
        : m_sheet(sheet), m_table(table), m_formats(workbook),
          m_sums(size_t(table.columns.size())) {}

    lxw_error layout() {
        const auto& columns = m_table.columns;
        for (int column = 0; column < columns.size(); ++column) {
            const double width = std::max(2.0, columns[column].widthPixels / PixelsPerCharacter);
            if (const lxw_error e = worksheet_set_column(m_sheet, lxw_col_t(column),
                                                         lxw_col_t(column), width, nullptr))
                return e;
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        for (int column = 0; column < columns.size(); ++column)
            if (const lxw_error e = writeText(0, column, columns[column].title, m_formats.title()))
                return e;
        return LXW_NO_ERROR;
    }

    lxw_error row(qint64 index) {
        const lxw_row_t at = lxw_row_t(index + 1);
        for (int column = 0; column < m_table.columns.size(); ++column)
            if (const lxw_error e = cell(at, column, m_table.cell(index, column)))
                return e;
        return LXW_NO_ERROR;
    }

    lxw_error totals() {
        if (!m_table.totals)
            return LXW_NO_ERROR;
        const Totals& totals = *m_table.totals;
        const lxw_row_t at = lxw_row_t(m_table.rows + 1);
        if (const lxw_error e = writeText(at, totals.labelColumn, totals.label, m_formats.bold()))
            return e;
        qint64 textCells = 0;
        for (const int column : totals.sumColumns) {
            const ColumnSum& sum = m_sums[size_t(column)];
            textCells += sum.textCells;
            const double value = sum.sum.toDouble();
            lxw_error e = LXW_NO_ERROR;
            if (m_table.rows == 0) {
                // No range to sum: a formula over the row above would count the titles.
                e = worksheet_write_number(m_sheet, at, lxw_col_t(column), value, m_formats.bold());
            } else {
                const QString letters = columnLetters(column);
                const QByteArray formula = QStringLiteral("=SUM(%1%2:%1%3)")
                                               .arg(letters)
                                               .arg(2)
                                               .arg(m_table.rows + 1)
                                               .toUtf8();
                e = worksheet_write_formula_num(m_sheet, at, lxw_col_t(column), formula.constData(),
                                                m_formats.bold(), value);
            }
            if (e)
                return e;
        }
        if (textCells > 0 && totals.noteColumn >= 0)
            return writeText(at, totals.noteColumn,
                             QStringLiteral("有 %1 格不是数字，没有计入合计").arg(textCells),
                             nullptr);
        return LXW_NO_ERROR;
    }

private:
    static QString columnLetters(int column) {
        QString letters;
        for (int n = column + 1; n > 0; n = (n - 1) / 26)
            letters.prepend(QChar(char16_t(u'A' + (n - 1) % 26)));
        return letters;
    }

    lxw_error writeText(lxw_row_t row, int column, const QString& text, lxw_format* format) {
        if (text.isEmpty())
            return format ? worksheet_write_blank(m_sheet, row, lxw_col_t(column), format)
                          : LXW_NO_ERROR;
        // A character the file format cannot carry at all is shown as the replacement sign.
        QString clean = text;
        clean.replace(QChar(u'\0'), QChar(0xFFFD));
        const QByteArray utf8 = clean.toUtf8();
        return worksheet_write_string(m_sheet, row, lxw_col_t(column), utf8.constData(), format);
    }

    lxw_error cell(lxw_row_t row, int column, const QString& text) {
        const Column& format = m_table.columns[column];
        ColumnSum& sum = m_sums[size_t(column)];
        if (format.kind == CellKind::Number) {
            if (const std::optional<ExactNumber> number = exactNumber(text)) {
                sum.sum = sum.sum.plus(DecimalNumber::fromText(text));
                return worksheet_write_number(m_sheet, row, lxw_col_t(column), number->value,
                                              m_formats.decimals(number->decimals));
            }
            if (!text.trimmed().isEmpty())
                ++sum.textCells;
        } else if (format.kind == CellKind::DateTime) {
            if (std::optional<lxw_datetime> date = excelDate(text))
                return worksheet_write_datetime(m_sheet, row, lxw_col_t(column), &*date,
                                                text.size() == 10 ? m_formats.date()
                                                                  : m_formats.dateTime());
        }
        return writeText(row, column, text, format.wrap ? m_formats.wrap() : nullptr);
    }

    lxw_worksheet* m_sheet;
    const Table& m_table;
    Formats m_formats;
    std::vector<ColumnSum> m_sums;
};

} // namespace

std::optional<ExactNumber> exactNumber(QStringView text) {
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative)
        ++i;
    const qsizetype integerStart = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    const qsizetype integerDigits = i - integerStart;
    if (integerDigits == 0 || (integerDigits > 1 && text[integerStart] == u'0'))
        return std::nullopt;
    int decimals = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        const qsizetype start = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        decimals = int(i - start);
        if (decimals == 0)
            return std::nullopt;
    }
    if (i != text.size() || decimals > MaxDecimals)
        return std::nullopt;
    // The significant digits run from the first digit that is not 0 to the last one.
    qsizetype first = -1;
    qsizetype last = -1;
    qsizetype significant = 0;
    for (qsizetype k = integerStart; k < text.size(); ++k) {
        if (text[k] == u'.' || text[k] == u'0')
            continue;
        if (first < 0)
            first = k;
        last = k;
    }
    if (first < 0) {
        if (negative)
            return std::nullopt; // "-0" would show as "0"
        return ExactNumber{0.0, decimals};
    }
    for (qsizetype k = first; k <= last; ++k)
        significant += text[k] != u'.';
    if (significant > MaxSignificantDigits)
        return std::nullopt;
    return ExactNumber{textToNumber(text), decimals};
}

Result<bool> write(const QString& path, const Table& table, const Progress& progress) {
    if (table.rows > MaxRows)
        return Status::failure(
            QStringLiteral("要导出 %1 行，而 Excel 的一张工作表最多只能放 %2 行记录。")
                .arg(table.rows)
                .arg(MaxRows));
    // The library writes its own temporary files and the workbook here, never at the target.
    QTemporaryDir work;
    if (!work.isValid())
        return Status::failure(QStringLiteral("无法建立生成 Excel 文件所需的临时文件夹。"),
                               work.errorString());
    const QString made = work.filePath(QStringLiteral("export.xlsx"));
    QByteArray folder = QFile::encodeName(work.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to the file as they are written
    options.tmpdir = folder.data();
    options.use_zip64 = LXW_TRUE;
    Workbook workbook(workbook_new_opt(QFile::encodeName(made).constData(), &options));
    if (!workbook)
        return Status::failure(QStringLiteral("无法生成 Excel 文件：内存不够或临时文件无法建立。"));
    const QByteArray name = table.sheetName.toUtf8();
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), name.constData());
    if (!sheet)
        return Status::failure(QStringLiteral("无法在 Excel 文件中建立工作表。"));

    SheetWriter writer(workbook.get(), sheet, table);
    if (const lxw_error e = writer.layout())
        return libraryFailure(e);
    for (qint64 row = 0; row < table.rows; ++row) {
        if (progress && row % 4096 == 0 && !progress(row, table.rows))
            return false;
        if (const lxw_error e = writer.row(row))
            return libraryFailure(e);
    }
    if (const lxw_error e = writer.totals())
        return libraryFailure(e);
    if (const lxw_error e = workbook_close(workbook.release()))
        return libraryFailure(e);
    // The finished workbook goes where the operator chose, crash-safe.
    if (Status placed = copyFile(made, path, SafeFileWriter::Mode::Replace); !placed)
        return placed;
    return true;
}

} // namespace vellumar::Xlsx
