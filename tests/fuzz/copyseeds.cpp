// Writes seed inputs for the COPY data fuzz target: ledgers from the benchmark's generator as
// the server sends them back, each after the four bytes of its row count, up to a megabyte and
// more, and a ledger whose cells are as long as a cell may be.
//
//   copy_seeds DIR

#include "ledgergenerator.h"

#include "ledger/ledgerlimits.h"
#include "sharedstore/ledgercopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <cstdio>

using namespace vellumar;

namespace {

bool save(const QString& directory, const QString& name, const LedgerSheet& sheet) {
    QByteArray bytes(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(sheet.rowCount()), bytes.data());
    const Status written = LedgerCopy::write(std::nullopt, sheet, [&](QByteArrayView piece) {
        bytes.append(piece);
        return Status();
    });
    QFile file(QDir(directory).filePath(name));
    if (!written || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: copy_seeds DIR\n");
        return 2;
    }
    const QString directory = arguments[1];
    QDir().mkpath(directory);
    bool saved = true;
    for (const int records : {0, 30, 14000}) {
        LedgerSheet sheet;
        bench::generateLedger(sheet, records);
        saved = saved && save(directory, QStringLiteral("ledger_%1.copy").arg(records), sheet);
    }
    LedgerSheet full(3);
    full.applyTitles();
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        full.setCell(1, column, QString(LedgerLimits::MaxCellCharacters, u'满'));
    saved = saved && save(directory, QStringLiteral("full_cells.copy"), full);
    return saved ? 0 : 1;
}
