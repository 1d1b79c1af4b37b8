#ifndef OFTOOL_PROGRESS_H
#define OFTOOL_PROGRESS_H

#include <QElapsedTimer>
#include <QString>

/*
 * Progress through a number of steps on standard error: a bar with the time left redrawn in place
 * on a terminal, one "[DONE/TOTAL] line" per step otherwise.
 */
class Progress
{
public:
    explicit Progress(int total);

    /** Step done of the total is over; line says what it did. */
    void step(int done, const QString &line);
    /** A line of its own, which does not end up inside the bar. */
    void note(const QString &line);

private:
    int m_total;
    bool m_live;
    QElapsedTimer m_clock;
};

#endif // OFTOOL_PROGRESS_H
