#ifndef FORMATS_BATCHJOB_H
#define FORMATS_BATCHJOB_H

#include "fontsource.h"
#include "stagedfiles.h"

#include "glyphmetrics.h"
#include "rendersettings.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace Models {
class Font;
}

/* One output file of a render batch: which font, at which size, into which file; a Manifest records it. */
struct BatchJob {
    FontSources::Face face;
    int size = 0;
    bool pixels = false; // size is in pixels rather than points
    int dpi = 0;
    QString path;
    QString typedOutput; // the output as the user typed it, for hints in messages
    QString fontName;
    QVector<uint> requested;
    QVector<uint> missing; // requested characters the font lacks
    QStringList letters;   // what is drawn: requested, less missing under --skip-missing
    bool keepFont = false; // hand the font back instead of writing it
    bool compress = false; // written with gzip
    RenderSettings settings; // its dpi is the job's
    int place = 0; // among the fonts and sizes of the whole plan, every shard's
};

/** What rendering a job gave. */
struct BatchJobResult {
    StagedFile staged; // the new file, waiting for its commit; null when none was written
    StagedFile stagedMetrics; // its metrics file, to be committed with it; null when none is asked for
    std::shared_ptr<Models::Font> font; // the font drawn, for a job that keeps it
    QString error;  // why not, a whole line
    QStringList emptyLetters;
    QStringList clippedLetters; // letters whose ink the images cut off
    FontGeometry geometry;
    QString resolvedFamily;
    QString resolvedStyle;
    int pixelSize = 0;
    qint64 bytes = 0;
};

#endif // FORMATS_BATCHJOB_H
