// The real host's own questions and file dialogs, answered the way the operator would.

#include "guifixture.h"
#include "host/qthost.h"
#include "whenshown.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace vellumar;

namespace {

Question failedSave() {
    Question question;
    question.text = u"文件保存失败！\n无法写入文件“/home/shop/Vellumar/source/用户/张三.z”。"
                    u"同名的是一个文件夹，不是文件。\n\n账目还没有保存。关闭之前请选择：再试一次，"
                    u"把账目另存到别处，或者不保存就关闭。"_qs;
    question.buttons = {u"重试"_qs, u"另存为…"_qs, u"不保存"_qs, u"返回"_qs};
    question.defaultButton = 0;
    question.cancelButton = 3;
    question.icon = MessageFlags::IconWarning;
    question.title = u"提示"_qs;
    question.detail = u"Is a directory"_qs;
    return question;
}

QPushButton* buttonNamed(QMessageBox* box, const QString& caption) {
    for (QAbstractButton* button : box->buttons())
        if (button->text() == caption)
            return qobject_cast<QPushButton*>(button);
    return nullptr;
}

// Types a name into the file dialog's name box, as the operator does.
void typeName(QFileDialog* dialog, const QString& name) {
    auto* box = dialog->findChild<QLineEdit*>(u"fileNameEdit"_qs);
    QVERIFY(box);
    box->setFocus();
    box->selectAll();
    box->insert(name);
}

// The type a file dialog shows for a file, once its model has looked the file up.
QString typeShown(QFileDialog* dialog, const QString& path) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (!model)
        return {};
    QString type;
    QElapsedTimer waited;
    waited.start();
    while (type.isEmpty() && waited.elapsed() < 10000) {
        type = model->type(model->index(path));
        if (type.isEmpty())
            QTest::qWait(10);
    }
    return type;
}

// What the dialog's list shows in each column for a file.
QStringList shownDetails(QFileDialog* dialog, const QString& path) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    QAbstractProxyModel* shown = dialog->proxyModel();
    if (!model || !shown)
        return {};
    QStringList columns;
    for (int column = 0; column < model->columnCount(); ++column)
        columns << shown->mapFromSource(model->index(path, column)).data().toString();
    return columns;
}

} // namespace

class TestHostDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void questionWithButtonsOfItsOwn_data();
    void questionWithButtonsOfItsOwn();
    void openDialogNamesLedgerFiles();
    void saveDialogProposesAName_data();
    void saveDialogProposesAName();
};

void TestHostDialogs::questionWithButtonsOfItsOwn_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::newRow("Enter presses the default") << u"enter"_qs << 0;
    QTest::newRow("Esc is the cancel choice") << u"escape"_qs << 3;
    QTest::newRow("close box is the cancel choice") << u"close"_qs << 3;
    QTest::newRow("a click answers its button") << u"不保存"_qs << 2;
}

void TestHostDialogs::questionWithButtonsOfItsOwn() {
    QFETCH(QString, how);
    QFETCH(int, answer);
    QtHost host;
    QStringList captions;
    QString detail;
    QList<int> lefts;
    WhenShown<QMessageBox> reply([&](QMessageBox* box) {
        QCOMPARE(box->windowTitle(), u"提示"_qs);
        // The text as given; only invisible break points are added, for long paths.
        QCOMPARE(box->text().remove(QChar(0x200B)), failedSave().text);
        detail = box->informativeText().remove(QChar(0x200B));
        // A long question wraps inside the box instead of running off its edge.
        auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_qs);
        QVERIFY(label);
        QVERIFY(box->rect().contains(QRect(label->mapTo(box, QPoint()), label->size())));
        int longest = 0;
        for (const QString& line : box->text().split(u'\n'))
            longest = std::max(longest, label->fontMetrics().horizontalAdvance(line));
        if (label->wordWrap())
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
        else
            QVERIFY2(label->width() >= longest, "the text runs off the box");
        for (const QString& caption : failedSave().buttons) {
            QPushButton* button = buttonNamed(box, caption);
            QVERIFY(button);
            captions << button->text();
            lefts << button->mapTo(box, QPoint()).x();
        }
        QCOMPARE(box->defaultButton(), buttonNamed(box, u"重试"_qs));
        if (how == u"enter")
            QTest::keyClick(box, Qt::Key_Return);
        else if (how == u"escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (how == u"close")
            box->close();
        else
            buttonNamed(box, how)->click();
    });
    QCOMPARE(host.ask(failedSave()), answer);
    QVERIFY(reply.acted());
    QCOMPARE(captions, failedSave().buttons);
    QVERIFY(std::is_sorted(lefts.begin(), lefts.end())); // in the caller's order, left to right
    QCOMPARE(detail, u"详细信息：Is a directory"_qs);
}

// The program's own dialog: Chinese throughout, ledger files under the program's name for
// them, and large enough to read every column.
void TestHostDialogs::openDialogNamesLedgerFiles() {
    QTemporaryDir folder;
    const QString ledger = folder.filePath(u"张三.z"_qs);
    const QString notes = folder.filePath(u"说明.txt"_qs);
    for (const QString& path : {ledger, notes}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF序号,商品名称\r\n");
    }
    QtHost host;
    QString ledgerType;
    QString notesType;
    QStringList details;
    WhenShown<QFileDialog> pick([&](QFileDialog* dialog) {
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(dialog->windowTitle(), u"打开"_qs);
        QVERIFY(dialog->width() >= QtHost::fileDialogSize().width());
        QVERIFY(dialog->height() >= QtHost::fileDialogSize().height());
        QCOMPARE(dialog->labelText(QFileDialog::FileName), u"文件名："_qs);
        QCOMPARE(dialog->labelText(QFileDialog::Accept), u"打开"_qs);
        QCOMPARE(dialog->nameFilters().first(), u"数据库文件（*.z） (*.z)"_qs);
        ledgerType = typeShown(dialog, ledger);
        details = shownDetails(dialog, ledger);
        dialog->selectNameFilter(dialog->nameFilters().at(1)); // other files show only here
        notesType = typeShown(dialog, notes);
        typeName(dialog, QFileInfo(ledger).fileName());
        static_cast<QDialog*>(dialog)->accept(); // as the accept button does
    });
    const std::optional<QString> chosen =
        host.chooseFileToOpen({FileFilter{u"数据库文件（*.z）"_qs, u"*.z"_qs},
                               FileFilter{u"全部文件（*.*）"_qs, u"*.*"_qs}},
                              folder.path());
    QVERIFY(pick.acted());
    QCOMPARE(chosen.value_or(QString()), ledger);
    QCOMPARE(ledgerType, QtHost::ledgerTypeName());
    // Size and date in Chinese whatever the system's language is: no English word.
    QCOMPARE(details.value(1), u"24 字节"_qs);
    QCOMPARE(details.value(3), QFileInfo(ledger).lastModified().toString(u"yyyy/M/d HH:mm"_qs));
    QVERIFY(!notesType.isEmpty());
    QVERIFY(notesType != QtHost::ledgerTypeName());
}

void TestHostDialogs::saveDialogProposesAName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("the proposed name") << QString() << u"张三的账目.z"_qs;
    QTest::newRow("a name without its ending") << u"副本"_qs << u"副本.z"_qs;
    QTest::newRow("cancelled") << u"cancel"_qs << QString();
}

void TestHostDialogs::saveDialogProposesAName() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QTemporaryDir folder;
    const QString earlier = folder.filePath(u"旧账.z"_qs);
    QFile(earlier).open(QIODevice::WriteOnly);
    QtHost host;
    QString directory;
    QStringList proposed;
    WhenShown<QFileDialog> pick([&](QFileDialog* dialog) {
        // Once the folder is read the dialog leaves the name box to the operator.
        QCOMPARE(typeShown(dialog, earlier), QtHost::ledgerTypeName());
        QCOMPARE(dialog->windowTitle(), u"另存为"_qs);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->labelText(QFileDialog::Accept), u"保存"_qs);
        directory = dialog->directory().absolutePath();
        proposed = dialog->selectedFiles();
        if (typed == u"cancel") {
            dialog->reject();
            return;
        }
        if (!typed.isEmpty())
            typeName(dialog, typed);
        static_cast<QDialog*>(dialog)->accept(); // as the accept button does
    });
    const std::optional<QString> result = host.chooseFileToSave(
        {FileFilter{u"数据库文件（*.z）"_qs, u"*.z"_qs}}, folder.filePath(u"张三的账目.z"_qs));
    QVERIFY(pick.acted());
    QCOMPARE(directory, QDir(folder.path()).absolutePath());
    QCOMPARE(proposed, QStringList{folder.filePath(u"张三的账目.z"_qs)});
    if (chosen.isEmpty())
        QVERIFY(!result);
    else
        QCOMPARE(result.value_or(QString()), folder.filePath(chosen));
}

QTEST_MAIN(TestHostDialogs)
#include "test_hostdialogs.moc"
