// The frame's stack of open windows.

#include "frame/frame.h"
#include "guifixture.h"

#include <QPointer>
#include <QTest>

class TestFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endingTheFrameClosesEveryWindow_data();
    void endingTheFrameClosesEveryWindow();
};

void TestFrame::endingTheFrameClosesEveryWindow_data() {
    QTest::addColumn<int>("windows");
    for (int count : {1, 2, 3, 5})
        QTest::addRow("%d open", count) << count;
}

void TestFrame::endingTheFrameClosesEveryWindow() {
    QFETCH(int, windows);
    QList<QPointer<QWidget>> opened;
    {
        vellumar::Frame frame;
        for (int n = 0; n < windows; ++n) {
            auto* window = new QWidget;
            opened.append(window);
            frame.open(window);
        }
        QCOMPARE(frame.openWindows().size(), windows);
    }
    for (const QPointer<QWidget>& window : opened)
        QVERIFY2(window.isNull(), "a window outlived the frame that owns it");
}

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
