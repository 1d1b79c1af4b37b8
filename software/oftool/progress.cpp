#include "progress.h"

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

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
        std::fprintf(stderr, "\r\033[K[%s%s] %d/%d%s %s", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, ' ').constData(), done, m_total, eta.constData(), line.toUtf8().constData());
        if (done == m_total) {
            std::fputc('\n', stderr);
        }
    } else {
        std::fprintf(stderr, "[%d/%d] %s\n", done, m_total, line.toUtf8().constData());
    }
    std::fflush(stderr);
}

void Progress::note(const QString &line)
{
    std::fprintf(stderr, "%s%s\n", m_live ? "\r\033[K" : "", line.toUtf8().constData());
}
