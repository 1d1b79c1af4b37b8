#ifndef OFTOOL_ORDEREDRUNNER_H
#define OFTOOL_ORDEREDRUNNER_H

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

/*
 * Runs work(0) ... work(count - 1) on up to threads threads and hands each result to report on the
 * calling thread, in order, as soon as it and those before it are done. At most a few results per
 * thread wait to be reported, so memory does not grow with count. Once stop() says so, or report
 * returns false, no further work starts; what is running finishes and is reported. Returns how many
 * were reported.
 */
template <typename Result>
int runOrdered(int count, int threads, const std::function<Result(int)> &work,
               const std::function<bool(int, Result &)> &report, const std::function<bool()> &stop)
{
    threads = qBound(1, threads, qMax(1, count));
    const int window = 4 * threads;
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, Result> done;
    int next = 0;
    int reported = 0;
    int running = threads;
    bool stopping = false;

    const auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || stop() || next >= count || next < reported + window; });
            if (stopping || stop() || next >= count) {
                break;
            }
            const int index = next++;
            lock.unlock();
            Result result = work(index);
            lock.lock();
            done.emplace(index, std::move(result));
            changed.notify_all();
        }
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back(worker);
    }

    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        const auto first = done.find(reported);
        if (first != done.end()) {
            Result result = std::move(first->second);
            done.erase(first);
            lock.unlock();
            const bool goOn = report(reported, result);
            lock.lock();
            ++reported;
            stopping = stopping || !goOn;
            changed.notify_all();
        } else if (running == 0 && reported >= next) {
            break;
        } else {
            // Woken by a result; the timeout lets a stop signal, which cannot notify, be seen.
            changed.wait_for(lock, std::chrono::milliseconds(200));
        }
    }
    lock.unlock();
    for (std::thread &thread : pool) {
        thread.join();
    }
    return reported;
}

#endif // OFTOOL_ORDEREDRUNNER_H
