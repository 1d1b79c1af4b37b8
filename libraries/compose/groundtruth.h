#ifndef COMPOSE_GROUNDTRUTH_H
#define COMPOSE_GROUNDTRUTH_H

#include <QByteArray>
#include <QImage>
#include <QString>

namespace Compose {

struct Composition;

/** What a sample's record says besides its composition. */
struct SampleInfo {
    QString fileName; // the image, relative to the dataset's folder
    QString fontFile;
    QString fontName;
    quint64 seed = 0; // the run's
    quint64 index = 0;
};

/**
 * The sample's line of metadata.jsonl, line feed included: file_name and text (as an image-folder
 * loader reads them), font_file, font_name, seed, index, width, height, baseline (the first line's),
 * characters and words (char or text, x, y, width, height; y downwards) and lines (text, baseline and
 * box of each line).
 */
QByteArray metadataRecord(const SampleInfo &info, const Composition &composition);

/**
 * The image as a PNG file, at zlib's level 2 (Qt's quality 70): about twice as fast to write as the default
 * level, for files about a tenth larger. Empty when it cannot be encoded.
 */
QByteArray encodePng(const QImage &image);

/**
 * The box file of a line image as text recognition trainers read it: a line per letter other than a
 * space, "TEXT LEFT BOTTOM RIGHT TOP 0", with y upwards from the image's bottom edge.
 */
QByteArray tesseractBoxes(const Composition &composition);

/**
 * PAGE-XML (2019-07-15) for the composition saved as imageFileName: one text region holding each line
 * with its coords, baseline, words, glyphs and texts. created is the timestamp written into Metadata,
 * so that the same sample gives the same bytes.
 */
QByteArray pageXml(const Composition &composition, const QString &imageFileName, const QString &created);

} // namespace Compose

#endif // COMPOSE_GROUNDTRUTH_H
