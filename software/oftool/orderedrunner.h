#ifndef OFTOOL_ORDEREDRUNNER_H
#define OFTOOL_ORDEREDRUNNER_H

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

/*
 * Runs work(0) ... work(count - 1) on up to threads threads and hands each result to report, in order,
 * as soon as it and those before it are done: one call at a time, on the worker that finds the result
 * next in line, so that no thread is woken per result. At most a few results per thread wait to be
 * reported, so memory does not grow with count. Once stop() says so, or report returns false, no
 * further work starts; what is running finishes and is reported. Returns how many were reported.
 */
template <typename Result>
int runOrdered(int count, int threads, const std::function<Result(int)> &work,
               const std::function<bool(int, Result &)> &report, const std::function<bool()> &stop)
{
    threads = qBound(1, threads, qMax(1, count));
    const int window = 4 * threads;
    std::mutex mutex;
    std::condition_variable roomMade; // for workers that wait for the results before theirs
    std::condition_variable finished;
    std::map<int, Result> done;
    int next = 0;
    int reported = 0;
    int running = threads;
    int waitingForRoom = 0;
    bool reporting = false;
    bool stopping = false;

    const auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            const auto canGo = [&] { return stopping || next >= count || next < reported + window || stop(); };
            if (!canGo()) {
                ++waitingForRoom;
                roomMade.wait(lock, canGo);
                --waitingForRoom;
            }
            if (stopping || next >= count || stop()) {
                break;
            }
            const int index = next++;
            lock.unlock();
            Result result = work(index);
            lock.lock();
            done.emplace(index, std::move(result));
            // Whoever reports goes on while results are next in line, those left here too.
            while (!reporting) {
                const auto first = done.find(reported);
                if (first == done.end()) {
                    break;
                }
                Result inLine = std::move(first->second);
                done.erase(first);
                reporting = true;
                lock.unlock();
                const bool goOn = report(reported, inLine);
                lock.lock();
                reporting = false;
                ++reported;
                stopping = stopping || !goOn;
                if (waitingForRoom > 0) {
                    roomMade.notify_all();
                }
            }
        }
        if (--running == 0) {
            finished.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back(worker);
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            // A stop signal cannot notify: workers waiting for room are woken now and then to see it.
            if (!finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return running == 0; }) && stop()) {
                roomMade.notify_all();
            }
        }
    }
    for (std::thread &thread : pool) {
        thread.join();
    }
    return reported;
}

#endif // OFTOOL_ORDEREDRUNNER_H
