#include "progress.h"

#include "cli.h"

#include <QByteArray>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The terminal's width: as the terminal says, else $COLUMNS, else 80. Asked each time: a window can be resized.
int terminalColumns()
{
    winsize size = {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    const int columns = qEnvironmentVariableIntValue("COLUMNS");
    return columns > 0 ? columns : 80;
}

} // namespace

Progress::Progress(int total)
    : m_total(total)
    , m_live(isatty(STDERR_FILENO))
{
    m_clock.start();
}

void Progress::step(int done, const QString &line)
{
    if (m_live) {
        const int width = 24;
        const int filled = m_total ? width * done / m_total : width;
        // The steps so far at their mean pace; steps of one batch take about as long as each other.
        const qint64 left = done > 0 ? m_clock.elapsed() * (m_total - done) / done / 1000 : 0;
        const QByteArray eta = done < m_total ? QStringLiteral(" %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0')).toUtf8()
                                              : QByteArray();
        QString shown = QStringLiteral("[%1%2] %3/%4%5 %6").arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char(' ')))
                            .arg(done).arg(m_total).arg(QString::fromUtf8(eta), Cli::oneLine(line));
        // A line longer than the terminal wraps, and the next "\r" would overwrite only its last row.
        const int columns = terminalColumns() - 1;
        if (shown.size() > columns) {
            shown.truncate(qMax(0, columns - 3));
            if (!shown.isEmpty() && shown.at(shown.size() - 1).isHighSurrogate()) {
                shown.chop(1);
            }
            shown += QStringLiteral("...");
        }
        std::fprintf(stderr, "\r\033[K%s", shown.toUtf8().constData());
        if (done == m_total) {
            std::fputc('\n', stderr);
        }
    } else {
        std::fprintf(stderr, "[%d/%d] %s\n", done, m_total, Cli::oneLine(line).toUtf8().constData());
    }
    std::fflush(stderr);
}

void Progress::note(const QString &line)
{
    std::fprintf(stderr, "%s%s\n", m_live ? "\r\033[K" : "", Cli::oneLine(line).toUtf8().constData());
}
