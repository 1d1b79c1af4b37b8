#ifndef OFTOOL_FONTINPUT_H
#define OFTOOL_FONTINPUT_H

#include <QString>
#include <QStringList>

#include <memory>

namespace Models {
class Font;
}

namespace Cli {

/** An OF font file as the reader gave it, with what the reader said about it. */
struct FontInput {
    std::unique_ptr<Models::Font> font; // null when the file could not be read at all
    QStringList warnings;               // the texts of the reader's first warnings, one per entry
    qint64 moreWarnings = 0;            // how many more there were; a file may hold millions
    QString error;                      // why the file is unusable; empty when it is not
    bool lostPictures = false;          // whether a warning says pixels were lost (not just a letter without pictures)
};

/**
 * Reads path with the framework's reader, taking its warnings instead of letting them
 * through. A missing or unreadable file, a file that is not well-formed XML and one whose
 * document element is not "font" set error.
 */
FontInput readFont(const QString &path);

/** "N more warnings not shown", for a count of warnings left out of a listing. */
QString moreWarningsText(qint64 count);

/**
 * The font at path for a subcommand that works on it: prints "oftool COMMAND: PATH: WARNING" for
 * each of the reader's first warnings and a count of the rest; null, with the error printed as a failure, when it is unusable
 * or lost pixels of a picture.
 */
std::unique_ptr<Models::Font> openFont(const char *command, const QString &path);

} // namespace Cli

#endif // OFTOOL_FONTINPUT_H
