// Pictures of every window and of the longest message of each kind, as the operator sees them,
// for a person to look at: fonts, alignment, nothing cut off or overlapping.
//
//   vellumar_windowshots OUTDIR        (run under xvfb-run, or with QT_QPA_PLATFORM=offscreen)

#include "guifixture.h"
#include "host/qthost.h"
#include "ledger/ledgerdocument.h"
#include "reports/reportoutput.h"
#include "storage/instancelock.h"
#include "windowtour.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace vellumar;

namespace {

QString fileNameFor(const QString& name) {
    QString file = name;
    file.replace(QLatin1Char(' '), QLatin1Char('_'));
    file.remove(QLatin1Char('('));
    file.remove(QLatin1Char(')'));
    return file + QStringLiteral(".png");
}

bool save(const QString& folder, const QString& name, QWidget* window) {
    const QString path = QDir(folder).filePath(fileNameFor(name));
    const bool saved = window->grab().save(path);
    std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "FAILED", qPrintable(path), window->width(),
                window->height());
    return saved;
}

struct Message {
    QString name;
    QString text;
    int flags;
    QString title;
    QString detail;
};

// What a second start says while the first one has the books open, with a file to open.
Message alreadyRunning() {
    QTemporaryDir home;
    const QString books = home.filePath(QStringLiteral(".local/share/Vellumar/source"));
    QDir().mkpath(books);
    const InstanceLock first(books + QStringLiteral("/.vellumar.lock"));
    const InstanceLock second(books + QStringLiteral("/.vellumar.lock"));
    const Status refusal = withDocumentNotOpened(
        second.refusal(), QStringLiteral("/home/shop/下载/特级西湖龙井茶庄（城东分店）.z"));
    return {QStringLiteral("message_already_running"), refusal.message(), MessageFlags::IconWarning,
            QString(), refusal.detail()};
}

// The longest message of each kind the program shows.
QList<Message> messages() {
    const QString ledger = QStringLiteral("/home/shop/.local/share/Vellumar/source/用户/"
                                          "特级西湖龙井茶庄（城东分店）.z");
    return {
        alreadyRunning(),
        {QStringLiteral("message_save_disk_full"),
         QStringLiteral("文件保存失败！\n无法写入文件“%1”。磁盘空间已满。请腾出空间后重试。")
             .arg(ledger),
         MessageFlags::IconWarning, QStringLiteral("提示"),
         QStringLiteral("No space left on device")},
        {QStringLiteral("message_table_busy"),
         QStringLiteral(
             "无法读取密码，所以不能登录。数据表“/home/shop/Vellumar/source/liebiao1.edb”"
             "正被另一个程序使用（也许本程序开了两次）。请关闭另一个程序后重试。"),
         MessageFlags::IconError, QString(), QStringLiteral("database is locked")},
        {QStringLiteral("message_unreadable_ledger"),
         QStringLiteral(
             "账目文件无法读取：%1\n文件的文字编码无法识别（既不是 UTF-8，也不是 "
             "GB18030/GBK），不是账目文件。\n\n窗口中的账目是空的。保存时会先把原文件另存"
             "一份带日期时间的副本，原来的内容不会丢失。")
             .arg(ledger),
         MessageFlags::IconWarning, QString(), QString()},
        {QStringLiteral("message_short"), QStringLiteral("记录已保存！"), MessageFlags::Ok,
         QString(), QString()},
        {QStringLiteral("message_question"), QStringLiteral("确认要关闭此窗口？"),
         MessageFlags::IconWarning | MessageFlags::OkCancel, QString(), QString()},
        {QStringLiteral("question_recover"), QStringLiteral("发现上次未保存的修改，是否恢复？"),
         MessageFlags::IconQuestion | MessageFlags::YesNo, QStringLiteral("提示"), QString()},
        {QStringLiteral("message_recovered_cut"),
         QStringLiteral("已恢复 127 项修改。请核对后保存账目。\n\n修改记录的末尾不完整，之后的修改"
                        "无法恢复：修改记录的第 128 项没有写完（也许程序正写着它时被中断了）。"),
         MessageFlags::IconInformation, QStringLiteral("提示"), QString()},
        {QStringLiteral("message_journal_aside"),
         QStringLiteral("发现上次未保存的修改，账目文件在那之后已经改变（也许已经保存过，或从备份"
                        "恢复过），这些修改无法放回现在的账目。\n\n它们已另存在“/home/shop/.local/"
                        "share/Vellumar/source/备份/特级西湖龙井茶庄（城东分店）/未保存的修改-"
                        "20261209-093015”，没有删除。"),
         MessageFlags::IconWarning, QStringLiteral("提示"), QString()},
    };
}

// Photographs the box that comes up while `show` runs, then answers it with its default button.
void shootBox(const QString& folder, const QString& name, const std::function<void()>& show) {
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        save(folder, name, box);
        box->defaultButton()->click();
    });
    poll.start();
    show();
}

void shootMessages(const QString& folder) {
    QtHost host;
    for (const Message& message : messages())
        shootBox(folder, message.name, [&] {
            host.messageBox(message.text, message.flags, message.title, message.detail);
        });
    // The longest question: a ledger that could not be saved on closing.
    Question question;
    question.text = QStringLiteral(
        "文件保存失败！\n无法写入文件“/home/shop/.local/share/Vellumar/source/用户/"
        "特级西湖龙井茶庄（城东分店）.z”。同名的是一个文件夹，不是文件。\n\n账目还没有保存。"
        "关闭之前请选择：再试一次，把账目另存到别处，或者不保存就关闭。");
    question.buttons = {QStringLiteral("重试"), QStringLiteral("另存为…"), QStringLiteral("不保存"),
                        QStringLiteral("返回")};
    question.cancelButton = 3;
    question.icon = MessageFlags::IconWarning;
    question.title = QStringLiteral("提示");
    question.detail = QStringLiteral("Is a directory");
    shootBox(folder, QStringLiteral("question_failed_save"), [&] { host.ask(question); });
}

// The open-file dialog on a folder of ledgers, as "打开" shows it.
void shootOpenDialog(const QString& folder, const QString& ledgers) {
    QtHost host;
    QTimer poll;
    poll.setInterval(50);
    int waited = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        // The folder's files are listed a moment after the dialog shows.
        if (!dialog || !dialog->isVisible() || ++waited < 10)
            return;
        poll.stop();
        save(folder, QStringLiteral("OpenFileDialog"), dialog);
        dialog->reject();
    });
    poll.start();
    (void)host.chooseFileToOpen(
        {FileFilter{QStringLiteral("数据库文件（*.z）"), QStringLiteral("*.z")},
         FileFilter{QStringLiteral("全部文件（*.*）"), QStringLiteral("*.*")}},
        ledgers);
}

// A statement of two pages as the printer gets it, for a look at its PDF.
bool writeStatement(const QString& folder) {
    LedgerSheet sheet(80);
    sheet.applyTitles();
    for (int row = 1; row <= 70; ++row) {
        const QStringList cells = {
            QString::number(row),
            row % 3 ? QStringLiteral("大米") : QStringLiteral("特级西湖龙井明前茶叶礼盒装（半斤）"),
            QString::number(row),
            QStringLiteral("袋"),
            QStringLiteral("12.5"),
            QString::number(row * 12.5),
            QStringLiteral("2026-12-09 09:30:15"),
            row == 5 ? QStringLiteral("赊账，月底结清。").repeated(12) : QString()};
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            sheet.setCell(row, column, cells[column]);
    }
    sheet.setCell(71, LedgerSheet::Serial, QStringLiteral("71"));
    sheet.setCell(71, LedgerSheet::Product, QStringLiteral("花生油"));
    sheet.setCell(71, LedgerSheet::Date, QStringLiteral("上周三"));
    ScriptedHost host;
    const Statement statement = Statement::build(sheet, Period::month(QDate(2026, 12, 9)));
    const ReportDocument document = statementDocument(sheet, statement, QStringLiteral("张三"),
                                                      QStringLiteral("城东百货商店"), host);
    const QString path = QDir(folder).filePath(QStringLiteral("statement.pdf"));
    const Result<bool> saved = saveReportPdf(document, path);
    std::printf("%s %s\n", saved.ok() ? "wrote" : "FAILED", qPrintable(path));

    // The same statement in the print preview the operator sees first.
    QtHost qtHost;
    QTimer poll;
    poll.setInterval(100);
    int waited = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview || !preview->isVisible() || ++waited < 5)
            return;
        poll.stop();
        save(folder, QStringLiteral("StatementPreview"), preview);
        preview->reject();
    });
    poll.start();
    ReportOutput::preview(qtHost, document);
    return saved.ok();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vellumar_windowshots OUTDIR\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    GuiFixture::prepareProcess();
    int failures = 0;
    {
        GuiFixture fixture;
        tourWindows(fixture, [&](const QString& name, QWidget* window) {
            failures += save(folder, name, window) ? 0 : 1;
            if (name == QStringLiteral("LedgerWindow")) {
                // The edit menu with its undo and redo items, as the operator opens it.
                auto* edit = window->findChild<QMenu*>(QStringLiteral("menuEdit"));
                edit->popup(window->mapToGlobal(QPoint(60, 20)));
                QCoreApplication::processEvents();
                failures += save(folder, QStringLiteral("LedgerWindow_edit_menu"), edit) ? 0 : 1;
                edit->close();
                // The smallest the window may be made, too.
                const QSize designed = window->size();
                window->resize(window->minimumSizeHint().expandedTo(window->minimumSize()));
                QCoreApplication::processEvents();
                failures += save(folder, QStringLiteral("LedgerWindow_smallest"), window) ? 0 : 1;
                window->resize(designed);
                // The find bar open and some records selected, at the designed size and larger.
                if (auto* find = window->findChild<QAction*>(QStringLiteral("actionFind")))
                    find->trigger();
                if (auto* grid = window->findChild<QTableView*>(QStringLiteral("高级表格1")))
                    grid->selectionModel()->select(
                        QItemSelection(grid->model()->index(1, 0), grid->model()->index(4, 7)),
                        QItemSelectionModel::ClearAndSelect);
                QCoreApplication::processEvents();
                failures += save(folder, QStringLiteral("LedgerWindow_findbar"), window) ? 0 : 1;
                window->resize(1280, 780);
                QCoreApplication::processEvents();
                failures += save(folder, QStringLiteral("LedgerWindow_larger"), window) ? 0 : 1;
                window->resize(designed);
            }
        });
    }
    shootMessages(folder);
    failures += writeStatement(folder) ? 0 : 1;
    {
        QTemporaryDir ledgers;
        for (const char* name : {"张三.z", "李四.z", "特级西湖龙井茶庄（城东分店）.z"}) {
            QFile file(ledgers.filePath(QString::fromUtf8(name)));
            if (file.open(QIODevice::WriteOnly))
                file.write("\xEF\xBB\xBF序号,商品名称\r\n");
        }
        shootOpenDialog(folder, ledgers.path());
    }
    return failures == 0 ? 0 : 1;
}
