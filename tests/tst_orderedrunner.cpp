#include "orderedrunner.h"

#include <QVector>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

class tst_OrderedRunner : public QObject
{
    Q_OBJECT

private slots:
    void handedOnInOrder_data();
    void handedOnInOrder();
};

void tst_OrderedRunner::handedOnInOrder_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("reportStops"); // the index whose report says to stop; -1 for none
    QTest::addColumn<int>("signalAfter"); // stop() says so once this many are made; -1 never
    QTest::newRow("one thread") << 300 << 1 << -1 << -1;
    QTest::newRow("two threads") << 3000 << 2 << -1 << -1;
    QTest::newRow("more threads than work") << 3 << 8 << -1 << -1;
    QTest::newRow("nothing to do") << 0 << 2 << -1 << -1;
    QTest::newRow("a report stops") << 3000 << 4 << 100 << -1;
    QTest::newRow("a signal stops") << 3000 << 3 << -1 << 50;
}

// Work of random length: each result made is handed on once, in order, one report at a time, and a stop
// ends the run without a hang once what was started is reported.
void tst_OrderedRunner::handedOnInOrder()
{
    QFETCH(int, count);
    QFETCH(int, threads);
    QFETCH(int, reportStops);
    QFETCH(int, signalAfter);
    std::atomic<int> made{0};
    std::atomic<int> reporting{0};
    std::atomic<bool> overlapped{false};
    QVector<int> reported;
    const std::function<int(int)> work = [&](int index) {
        thread_local std::minstd_rand random(unsigned(std::hash<std::thread::id>()(std::this_thread::get_id())));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        ++made;
        return 3 * index;
    };
    const std::function<bool(int, int &)> report = [&](int index, int &result) {
        if (reporting.fetch_add(1) != 0) {
            overlapped = true;
        }
        reported.append(result == 3 * index ? index : -1);
        reporting.fetch_sub(1);
        return index != reportStops;
    };
    const std::function<bool()> stop = [&] { return signalAfter >= 0 && made >= signalAfter; };
    const int done = runOrdered<int>(count, threads, work, report, stop);
    QVERIFY(!overlapped);
    QCOMPARE(done, int(reported.size()));
    QCOMPARE(done, made.load());
    for (int i = 0; i < reported.size(); ++i) {
        QCOMPARE(reported.at(i), i);
    }
    const int stoppedAt = reportStops >= 0 ? reportStops + 1 : signalAfter;
    if (stoppedAt < 0) {
        QCOMPARE(done, count);
    } else {
        // What was started goes on: at most the window of results waiting, four a thread.
        QVERIFY2(done >= stoppedAt && done <= stoppedAt + 4 * threads, qPrintable(QString::number(done)));
    }
}

QTEST_GUILESS_MAIN(tst_OrderedRunner)
#include "tst_orderedrunner.moc"
