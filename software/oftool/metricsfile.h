#ifndef OFTOOL_METRICSFILE_H
#define OFTOOL_METRICSFILE_H

#include <QHash>
#include <QList>
#include <QString>

struct FontGeometry;
struct RenderSettings;

namespace Cli {

/** FILE.metrics.json for the OF font file FILE. */
QString metricsPath(const QString &fontPath);

/**
 * Writes geometry as fontPath's metrics file when settings ask for metrics, replacing it only once complete;
 * true when written or not asked for, otherwise false with error set.
 */
bool writeMetricsFile(const QString &fontPath, const RenderSettings &settings, const FontGeometry &geometry, QString *error);

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
};

/** Reads the metrics file at path; false with error set when it is unreadable or not one. */
bool readMetricsFile(const QString &path, TextMetrics *metrics, QString *error);

} // namespace Cli

#endif // OFTOOL_METRICSFILE_H
