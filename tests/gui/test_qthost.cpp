// The real message boxes: every message shows whole, wrapped within the box, however long its
// paths and sentences are.

#include "guifixture.h"
#include "host/qthost.h"
#include "whenshown.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

using namespace vellumar;

namespace {

// Every line the label's text breaks into at the label's width, as wide as it really is.
QList<qreal> lineWidths(const QLabel* label) {
    QList<qreal> widths;
    const qreal room = label->contentsRect().width();
    for (const QString& paragraph : label->text().split(u'\n')) {
        QTextLayout layout(paragraph, label->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(room);
            widths.append(line.naturalTextWidth());
        }
        layout.endLayout();
    }
    return widths;
}

} // namespace

class TestQtHost : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void messagesShowWhole_data();
    void messagesShowWhole();
    void copiedMessageKeepsItsPaths();
};

void TestQtHost::messagesShowWhole_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("detail");
    const QString ledger = QStringLiteral("/home/shop/.local/share/Vellumar/source/用户/"
                                          "特级西湖龙井茶庄（城东分店）名下的赊账记录.z");
    QTest::newRow("save failed, disk full")
        << QStringLiteral("文件保存失败！\n无法写入文件“%1”。磁盘空间已满。请腾出空间后重试。")
               .arg(ledger)
        << QStringLiteral("No space left on device");
    QTest::newRow("table busy")
        << QStringLiteral(
               "无法读取密码，所以不能登录。数据表“/home/shop/Vellumar/source/"
               "liebiao1.edb”正被另一个程序使用（也许本程序开了两次）。请关闭另一个程序后"
               "重试。")
        << QStringLiteral("database is locked");
    QTest::newRow("unreadable ledger")
        << QStringLiteral("账目文件无法读取：%1\n文件的文字编码无法识别（既不是 UTF-8，也不是 "
                          "GB18030/GBK），不是账目文件。\n\n窗口中的账目是空的。保存时会先把原文件"
                          "另存一份带日期时间的副本，原来的内容不会丢失。")
               .arg(ledger)
        << QString();
    QTest::newRow("one long word") << QString(300, u'x') << QString(200, u'y');
    QTest::newRow("short") << QStringLiteral("记录已保存！") << QString();
}

void TestQtHost::messagesShowWhole() {
    QFETCH(QString, text);
    QFETCH(QString, detail);
    QtHost host;
    QStringList problems;
    WhenShown<QMessageBox> check([&](QMessageBox* box) {
        const QRect screen = box->screen()->availableGeometry();
        if (box->width() > screen.width() || box->height() > screen.height())
            problems.append(QStringLiteral("box larger than the screen"));
        if (box->width() < 220)
            problems.append(QStringLiteral("box too narrow for its title: %1").arg(box->width()));
        for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
            const auto* label = box->findChild<QLabel*>(QString::fromLatin1(name));
            if (!label || !label->isVisible())
                continue;
            const int room = label->contentsRect().width();
            for (const qreal width : lineWidths(label))
                if (width > room + 1)
                    problems.append(QStringLiteral("%1: a line of %2 px in %3 px")
                                        .arg(QLatin1String(name))
                                        .arg(width)
                                        .arg(room));
            if (label->hasHeightForWidth() &&
                label->heightForWidth(label->width()) > label->height())
                problems.append(QStringLiteral("%1: needs %2 px of height, has %3")
                                    .arg(QLatin1String(name))
                                    .arg(label->heightForWidth(label->width()))
                                    .arg(label->height()));
            if (!label->geometry().intersected(box->rect()).contains(label->geometry()))
                problems.append(
                    QStringLiteral("%1 reaches outside the box").arg(QLatin1String(name)));
        }
        box->defaultButton()->click();
    });
    QCOMPARE(host.messageBox(text, MessageFlags::IconWarning, QString(), detail),
             MessageAnswer::Ok);
    QVERIFY(check.acted());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// The break points that let a path wrap are for the box's eyes only: a copied path must work.
void TestQtHost::copiedMessageKeepsItsPaths() {
    const QString path = QStringLiteral("/home/shop/Vellumar/source/用户/张三.z");
    QtHost host;
    QString copied;
    WhenShown<QMessageBox> copy([&](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        copied = QGuiApplication::clipboard()->text();
        box->defaultButton()->click();
    });
    (void)host.messageBox(QStringLiteral("无法写入文件“%1”。").arg(path), MessageFlags::IconWarning,
                          QString(), QStringLiteral("Read-only file system"));
    QVERIFY2(copied.contains(path), qPrintable(copied));
    QVERIFY(!copied.contains(QChar(0x200B)));
}

QTEST_MAIN(TestQtHost)
#include "test_qthost.moc"
