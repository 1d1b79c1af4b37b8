#include "iomanager/glyphfilename.h"

#include <QtTest>

using IOManager::GlyphFileName;

Q_DECLARE_METATYPE(GlyphFileName::Refusal)

class tst_GlyphFileName : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void compose_data();
    void compose();
};

void tst_GlyphFileName::parse_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<GlyphFileName::Refusal>("refusal");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("storageProblem");

    // One row per refusal; the import's own test covers how accepted names read.
    const QString none;
    QTest::newRow("letter") << "a.b_A_1.2.png" << GlyphFileName::Accepted << "A" << 1 << none << none;
    QTest::newRow("code") << "x_U+00E9_12.BMP" << GlyphFileName::Accepted << QString(QChar(0xE9)) << 12 << "00E9" << none;
    // The id as Qt 5's toInt() reads it, past the no-break space that Qt 6's alone would stop at.
    QTest::newRow("id after a no-break space") << QString("x_A_\u00A07.png") << GlyphFileName::Accepted << "A" << 7
                                               << none << none;
    QTest::newRow("hidden") << ".x_A_3.png" << GlyphFileName::Hidden << none << 0 << none << none;
    QTest::newRow("mixed case extension") << "x_A_1.Png" << GlyphFileName::OtherExtension << none << 0 << none << none;
    QTest::newRow("one underscore") << "A_1.png" << GlyphFileName::TooFewUnderscores << none << 0 << none << none;
    QTest::newRow("pasdecode") << "x_[pasdecode]_4.png" << GlyphFileName::LeftOut << none << 0 << none << none;
    QTest::newRow("two plus signs") << "x_u+00+1_1.png" << GlyphFileName::SeveralPlusSigns << none << 0 << none << none;
    QTest::newRow("five digits") << "x_u+00041_1.png" << GlyphFileName::NotACode << none << 0 << none << none;
    // Letters an OF font file cannot hold are read; writing them is what fails.
    QTest::newRow("no hex digit") << "x_u+zzzz_1.png" << GlyphFileName::Accepted << QString(QChar(0)) << 1 << "zzzz"
                                  << "U+0000 is not a character an OF font file can hold";
    QTest::newRow("leading hex digits") << "x_u+4g00_1.png" << GlyphFileName::Accepted << QString(QChar(4)) << 1
                                        << "4g00" << "U+0004 is not a character an OF font file can hold";
    QTest::newRow("lone surrogate") << "x_u+d800_1.png" << GlyphFileName::Accepted << QString(QChar(0xD800)) << 1
                                    << "d800" << "U+D800 is not a character an OF font file can hold";
    QTest::newRow("noncharacter") << "x_u+FFFF_2.png" << GlyphFileName::Accepted << QString(QChar(0xFFFF)) << 2
                                  << "FFFF" << "U+FFFF is not a character an OF font file can hold";
    QTest::newRow("control in field") << QString("x_a\x01_1.png") << GlyphFileName::Accepted << "a\x01" << 1 << none
                                      << "the letter field holds a character an OF font file cannot hold";
}

void tst_GlyphFileName::parse()
{
    QFETCH(QString, name);
    QFETCH(GlyphFileName::Refusal, refusal);
    QFETCH(QString, letter);
    QFETCH(int, id);
    QFETCH(QString, code);
    QFETCH(QString, storageProblem);

    const GlyphFileName glyph = GlyphFileName::parse(name);
    QCOMPARE(glyph.refusal(), refusal);
    QCOMPARE(glyph.isAccepted(), refusal == GlyphFileName::Accepted);
    QCOMPARE(glyph.reason().isEmpty(), refusal == GlyphFileName::Accepted);
    QCOMPARE(glyph.letter(), letter);
    QCOMPARE(glyph.id(), id);
    QCOMPARE(glyph.code(), code);
    QCOMPARE(glyph.storageProblem(), storageProblem);
}

void tst_GlyphFileName::compose_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why");

    QTest::newRow("one unit") << "glyph" << "_" << -4 << "glyph_u+005F_-4.png" << "";
    QTest::newRow("two letters, no prefix") << "" << "ab" << 5 << "_ab_5.png" << "";
    QTest::newRow("empty") << "p" << "" << 3 << "p__3.png" << "";
    QTest::newRow("beyond U+FFFF") << "p" << QString::fromUcs4(U"\U0001F600") << 0
                                   << "p_" + QString::fromUcs4(U"\U0001F600") + "_0.png" << "";
    QTest::newRow("percent") << "p" << "%1" << 7 << "p_%1_7.png" << "";
    QTest::newRow("pasdecode") << "p" << "[pasdecode]" << 0 << QString() << "the import leaves out [pasdecode]";
    QTest::newRow("holds .") << "p" << "a.b" << 0 << QString()
                             << "it holds \".\", which a glyph image name cannot carry";
    QTest::newRow("unstorable") << "p" << QString(QChar(0xFFFE)) << 0 << QString()
                                << "it holds a character an OF font file cannot hold";
    QTest::newRow("hidden prefix") << ".p" << "a" << 0 << QString()
                                   << "the prefix holds \"_\", \"/\" or U+0000, or starts with \".\"";
}

void tst_GlyphFileName::compose()
{
    QFETCH(QString, prefix);
    QFETCH(QString, letter);
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(QString, why);

    QString reason;
    QCOMPARE(GlyphFileName::compose(prefix, letter, id, &reason), name);
    QCOMPARE(reason, why);
    if (!name.isNull()) {
        const GlyphFileName back = GlyphFileName::parse(name);
        QVERIFY2(back.isAccepted(), qPrintable(back.reason()));
        QCOMPARE(back.letter(), letter);
        QCOMPARE(back.id(), id);
    }
}

QTEST_GUILESS_MAIN(tst_GlyphFileName)
#include "tst_glyphfilename.moc"
