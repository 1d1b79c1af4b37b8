#ifndef OFTOOL_BATCHRUNNER_H
#define OFTOOL_BATCHRUNNER_H

#include "renderjob.h"

#include <QList>

#include <functional>

/*
 * Catches SIGINT and SIGTERM while it exists, so that a batch stops between files instead of
 * dying inside one; the handlers before are restored after.
 */
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    Q_DISABLE_COPY(StopSignals)

    /** The signal received, 0 while none has been. */
    static int received();
};

/**
 * Renders jobs on up to threads threads at once and calls report(index, result) on the calling
 * thread for each, in the order of jobs, as soon as it and those before it are done. Once a stop
 * signal arrives no job starts; the ones running finish and are reported. Returns how many were.
 */
int runJobs(const QList<BatchJob> &jobs, int threads, const std::function<void(int, const BatchJobResult &)> &report);

#endif // OFTOOL_BATCHRUNNER_H
