#pragma once
// One thread of its own for every bus transaction. Jobs run there one at a
// time, in the order they were made; each job's result comes back to its
// receiver as a queued call on the receiver's thread, so the window never
// waits for the bus.

#include "CorvaneProtocol.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

class BusThread {
public:
    explicit BusThread(BusAdapter& bus);
    // Waits for the job in hand, however long it takes; stop() first where
    // that matters.
    ~BusThread();
    BusThread(const BusThread&) = delete;
    BusThread& operator=(const BusThread&) = delete;

    // Runs job(protocol) on the bus thread, then done(result) on the thread
    // that made this object, if receiver is still there then.
    template <typename Job, typename Done>
    void run(Job job, QObject* receiver, Done done)
    {
        using Result = std::invoke_result_t<Job&, CorvaneProtocol&>;
        ++*pending_;
        // Released once the result is shown or dropped, whichever happens.
        std::shared_ptr<void> inFlight(nullptr, [pending = pending_](void*) { --*pending; });
        // Taken here, on the receiver's thread: a window closed while its
        // job runs is gone by the time the result comes back.
        QPointer<QObject> alive(receiver);
        QMetaObject::invokeMethod(
            &worker_,
            [this, job = std::move(job), alive, done = std::move(done), inFlight]() mutable {
                auto result = std::make_shared<Result>(job(protocol_));
                QMetaObject::invokeMethod(
                    &mailbox_,
                    [result, alive, done, inFlight]() mutable {
                        if (alive)
                            done(std::move(*result));
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

    // Runs job(protocol) on the bus thread at once and then every interval,
    // until stop(). For a consumer that takes what the job finds on the bus
    // thread itself (the exporter's metrics are safe to set from any
    // thread): a poll then wakes no other thread. A job that overruns its
    // interval is not queued twice; the next one starts when it is done.
    void repeat(std::chrono::milliseconds interval, std::function<void(CorvaneProtocol&)> job);

    // True when every job made so far has run and its result been handed over.
    bool idle() const { return *pending_ == 0; }

    // Refuses every further transaction (they fail with ECANCELED), lets the
    // one in hand finish, and waits up to limit for the thread to end. False
    // when a transaction is still stuck in the kernel after that.
    bool stop(std::chrono::milliseconds limit);

private:
    class StoppableBus;

    std::unique_ptr<StoppableBus> bus_;
    CorvaneProtocol protocol_;
    std::shared_ptr<std::atomic<int>> pending_ = std::make_shared<std::atomic<int>>(0);
    // Lives on the thread that made this object, the window's: results are
    // calls to it.
    QObject mailbox_;
    QThread thread_;
    QObject worker_; // lives on thread_; jobs are calls to it
};
