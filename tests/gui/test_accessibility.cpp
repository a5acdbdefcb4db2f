// What a screen reader is told about every window of the program: a window or dialog with
// its caption, and a name for every control and picture in it.

#include "guifixture.h"
#include "windowtour.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace {

bool isControl(QWidget* widget) {
    // A table's header is read out through the table itself, cell by cell.
    if (qobject_cast<QHeaderView*>(widget))
        return false;
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
           qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
           qobject_cast<QLabel*>(widget) || widget->objectName().startsWith(u"图片框");
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void everyWindowHasARoleAndEveryControlAName();
};

void TestAccessibility::everyWindowHasARoleAndEveryControlAName() {
    GuiFixture fixture;
    QStringList visited;
    QStringList problems;
    tourWindows(fixture, [&](const QString& name, QWidget* window) {
        visited.append(name);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window);
        if (!face) {
            problems.append(name + QStringLiteral(": no accessible interface"));
            return;
        }
        const QAccessible::Role role = face->role();
        if (role != QAccessible::Window && role != QAccessible::Dialog)
            problems.append(name + QStringLiteral(": role %1").arg(int(role)));
        if (face->text(QAccessible::Name) != window->windowTitle())
            problems.append(name + QStringLiteral(": named \"%1\", captioned \"%2\"")
                                       .arg(face->text(QAccessible::Name), window->windowTitle()));
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (!child->isVisibleTo(window) || !isControl(child))
                continue;
            QAccessibleInterface* control = QAccessible::queryAccessibleInterface(child);
            if (!control || control->text(QAccessible::Name).trimmed().isEmpty())
                problems.append(name +
                                QStringLiteral(": %1 (%2) has no name")
                                    .arg(child->objectName(),
                                         QString::fromLatin1(child->metaObject()->className())));
        }
    });
    QCOMPARE(visited.size(), 19);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
