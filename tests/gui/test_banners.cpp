// The red-on-blue banners and the About window's column of facts, as they are drawn.

#include "guifixture.h"
#include "windowtour.h"

#include <QLabel>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

namespace {

// The face that really draws the given text with the label's font (after font fallback).
QStringList facesDrawing(const QLabel* label, const QString& text) {
    QTextLayout layout(text, label->font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList faces;
    for (const QGlyphRun& run : layout.glyphRuns())
        faces.append(run.rawFont().familyName());
    return faces;
}

// Where the first line of a top-aligned label's text starts, in its window.
int firstLineTop(const QLabel* label) {
    return label->y() + label->contentsRect().top();
}

} // namespace

class TestBanners : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void bannersSpanTheWindowAndReadWell();
};

void TestBanners::bannersSpanTheWindowAndReadWell() {
    GuiFixture fixture;
    int banners = 0;
    tourWindows(fixture, [&](const QString& name, QWidget* window) {
        const bool hasBanner = name.startsWith(u"About") || name.endsWith(u"RecordDialog");
        if (!hasBanner)
            return;
        ++banners;
        auto* banner = window->findChild<QLabel*>(QStringLiteral("标签1"));
        QVERIFY(banner);
        QCOMPARE(banner->x(), 0);
        QCOMPARE(banner->width(), window->width());
        // Latin letters are not left to the Kai brush face, whose "ll" reads as "11".
        for (const QString& face : facesDrawing(banner, QStringLiteral("Vellumar")))
            QVERIFY2(!face.contains(u"Kai"), qPrintable(name + u": " + face));
        if (!name.startsWith(u"About"))
            return;
        QList<int> tops;
        for (const char* label : {"标签2", "标签3", "标签5", "标签4"})
            tops.append(firstLineTop(window->findChild<QLabel*>(QString::fromUtf8(label))));
        for (qsizetype n = 2; n < tops.size(); ++n)
            QVERIFY2(qAbs((tops[n] - tops[n - 1]) - (tops[1] - tops[0])) <= 1,
                     qPrintable(name + QStringLiteral(": lines at %1, %2, %3, %4")
                                           .arg(tops[0])
                                           .arg(tops[1])
                                           .arg(tops[2])
                                           .arg(tops[3])));
    });
    QCOMPARE(banners, 4);
}

QTEST_MAIN(TestBanners)
#include "test_banners.moc"
