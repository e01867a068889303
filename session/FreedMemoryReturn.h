#pragma once
// Gives the memory the program has freed back to the system once a minute.
// The C library keeps freed heap pages resident for the next allocation;
// over a run of days, bursts (a full disk's waiting rows, a notification
// service's errors) and the churn of the poll's short-lived allocations
// leave more and more of them, and the window's resident memory creeps up
// with nothing alive in it. Off the poll: a trim walks the heap.

#include <QObject>
#include <QTimer>

class FreedMemoryReturn : public QObject {
public:
    static constexpr int IntervalMs = 60'000;

    explicit FreedMemoryReturn(QObject* parent = nullptr);

    // Once, now; false where the C library cannot.
    static bool returnNow();

private:
    QTimer timer_;
};
