#include "progress.h"

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

Progress::Progress(int total)
    : m_total(total)
    , m_live(isatty(STDERR_FILENO))
{
}

void Progress::step(int done, const QString &line)
{
    if (m_live) {
        const int width = 24;
        const int filled = m_total ? width * done / m_total : width;
        std::fprintf(stderr, "\r\033[K[%s%s] %d/%d %s", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, ' ').constData(), done, m_total, line.toUtf8().constData());
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
