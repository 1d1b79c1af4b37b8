#ifndef FORMATS_METRICSFILE_H
#define FORMATS_METRICSFILE_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

struct FontGeometry;
struct RenderSettings;

namespace MetricsFile {

/** FILE.metrics.json for the OF font file FILE. */
QString metricsPath(const QString &fontPath);

/**
 * geometry as the metrics file of the OF font file fontPath, which holds fontBytes bytes whose SHA-256
 * is fontSha256 (lower-case hexadecimal), so that a reader can tell whether the two still belong together.
 */
QByteArray metricsText(const QString &fontPath, const RenderSettings &settings, const FontGeometry &geometry, qint64 fontBytes,
                       const QByteArray &fontSha256);

/** What setting text from the glyph images needs of a metrics file, in pixels. */
struct TextMetrics {
    struct Letter {
        qreal advance = 0;
        int originX = 0;
        int originY = 0;
    };
    struct Pair {
        QString left;
        QString right;
        qreal adjustment = 0;
    };
    qreal ascent = 0;
    qreal descent = 0;
    qreal lineSpacing = 0;
    qreal spaceAdvance = -1; // negative when the file does not say
    int pixelSize = 0;
    using Letters = QHash<QString, Letter>;
    Letters letters;
    QHash<QString, qreal> kerning; // left + right
    QList<Pair> pairs;             // the same, in the file's order
    qint64 fontBytes = -1;         // of the font file they were written with; -1 when not recorded
    QByteArray fontSha256;         // its hash, in lower-case hexadecimal; empty when not recorded
};

/** Reads the metrics file at path; false with error set when it is unreadable or not one. */
bool readMetricsFile(const QString &path, TextMetrics *metrics, QString *error);

/**
 * Why metrics do not describe the OF font file at fontPath ("does not describe FILE: ..."): they record no
 * size and hash of their font file, or the file's size or hash differ from what they record. Empty when
 * they describe it.
 */
QString fontMismatch(const TextMetrics &metrics, const QString &fontPath);

/**
 * Reads the metrics file of the OF font file fontPath; false with error ("PATH: REASON") when it is
 * unreadable, not a metrics file, or does not describe the font (fontMismatch()).
 */
bool readMetricsOf(const QString &fontPath, TextMetrics *metrics, QString *error);

} // namespace MetricsFile

#endif // FORMATS_METRICSFILE_H
