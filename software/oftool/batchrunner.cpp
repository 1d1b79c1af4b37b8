#include "batchrunner.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QVector>
#include <QWaitCondition>

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void onStopSignal(int signal)
{
    stopSignal.store(signal);
}

struct sigaction previousInt;
struct sigaction previousTerm;

/* The jobs' results as they come in, from whichever thread rendered them. */
struct Results {
    QMutex mutex;
    QWaitCondition changed;
    QVector<BatchJobResult> results;
    QVector<bool> done;
    int next = 0;    // the first job no thread has taken
    int running = 0; // threads still taking jobs
};

void work(const QList<BatchJob> &jobs, Results *shared)
{
    for (;;) {
        int index = 0;
        {
            QMutexLocker locker(&shared->mutex);
            if (shared->next >= jobs.size() || stopSignal.load() != 0) {
                --shared->running;
                shared->changed.wakeAll();
                return;
            }
            index = shared->next++;
        }
        BatchJobResult result = renderJob(jobs.at(index));
        QMutexLocker locker(&shared->mutex);
        shared->results[index] = std::move(result);
        shared->done[index] = true;
        shared->changed.wakeAll();
    }
}

} // namespace

StopSignals::StopSignals()
{
    stopSignal.store(0);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

int StopSignals::received()
{
    return stopSignal.load();
}

int runJobs(const QList<BatchJob> &jobs, int threads, const std::function<void(int, const BatchJobResult &)> &report)
{
    Results shared;
    shared.results.resize(jobs.size());
    shared.done.fill(false, jobs.size());
    threads = qBound(1, threads, qMax(1, jobs.size()));
    shared.running = threads;
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    for (int i = 0; i < threads; ++i) {
        pool.start(QRunnable::create([&jobs, &shared] { work(jobs, &shared); }));
    }

    int reported = 0;
    QMutexLocker locker(&shared.mutex);
    while (reported < jobs.size()) {
        if (shared.done.at(reported)) {
            const BatchJobResult result = shared.results.at(reported);
            shared.results[reported] = BatchJobResult(); // its letters and messages are not needed any more
            locker.unlock();
            report(reported, result);
            ++reported;
            locker.relock();
        } else if (shared.running == 0 && reported >= shared.next) {
            break; // stopped: no thread will take the rest
        } else {
            // Woken by a job done; the timeout only bounds the wait should a wake-up be missed.
            shared.changed.wait(&shared.mutex, 1000);
        }
    }
    locker.unlock();
    pool.waitForDone();
    return reported;
}
