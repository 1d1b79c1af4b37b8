#include "GlyphPreview.h"

#include <QScrollBar>
#include <QtTest>

class tst_GlyphPreview : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
};

void tst_GlyphPreview::layout_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("glyph");
    QTest::addColumn<QSize>("view");
    QTest::addColumn<bool>("magnified");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("room to spare") << 20 << QSize(10, 12) << QSize(600, 400) << true << false;
    QTest::newRow("too many") << 100 << QSize(10, 12) << QSize(160, 100) << false << true;
    QTest::newRow("wider than the view") << 3 << QSize(300, 40) << QSize(150, 150) << false << true;
}

void tst_GlyphPreview::layout()
{
    QFETCH(int, count);
    QFETCH(QSize, glyph);
    QFETCH(QSize, view);
    QFETCH(bool, magnified);
    QFETCH(bool, scrolls);
    QImage ink(glyph, QImage::Format_ARGB32);
    ink.fill(qRgba(0, 0, 0, 255));
    QVector<GlyphPreview::Glyph> glyphs;
    for (int i = 0; i < count; ++i) {
        // The second letter is one the font lacks.
        glyphs.append({QString(QChar(0x21 + i)), ink, i == 1});
    }
    GlyphPreview preview;
    preview.setGlyphs(glyphs);
    preview.resize(view);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));

    QCOMPARE(preview.zoom() > 1, magnified);
    QCOMPARE(preview.glyphRect(count - 1).size(), glyph * preview.zoom());
    QScrollBar *horizontal = preview.horizontalScrollBar();
    QScrollBar *vertical = preview.verticalScrollBar();
    QCOMPARE(horizontal->maximum() > 0 || vertical->maximum() > 0, scrolls);
    // Only the lacking letter is outlined.
    const QImage shot = preview.viewport()->grab().toImage();
    const QRgb base = preview.viewport()->palette().color(QPalette::Base).rgb();
    QCOMPARE(shot.pixel(preview.glyphRect(0).topLeft() - QPoint(1, 1)), base);
    QCOMPARE(shot.pixel(preview.glyphRect(1).topLeft() - QPoint(1, 1)), qRgb(0xd0, 0x20, 0x20));
    QCOMPARE(shot.pixel(preview.glyphRect(1).topLeft() + QPoint(1, 1)), qRgb(0, 0, 0));

    // The far end of the scroll range shows the end of the last glyph.
    horizontal->setValue(horizontal->maximum());
    vertical->setValue(vertical->maximum());
    QVERIFY(preview.viewport()->rect().contains(preview.glyphRect(count - 1).bottomRight()));
    // A larger view never shows the glyphs smaller.
    const int zoom = preview.zoom();
    preview.resize(view * 3);
    QTRY_VERIFY(preview.viewport()->width() > 2 * view.width());
    QVERIFY(preview.zoom() >= zoom);
}

QTEST_MAIN(tst_GlyphPreview)
#include "tst_glyphpreview.moc"
