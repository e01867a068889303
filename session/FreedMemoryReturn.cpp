#include "FreedMemoryReturn.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

FreedMemoryReturn::FreedMemoryReturn(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::VeryCoarseTimer);
    timer_.setInterval(IntervalMs);
    connect(&timer_, &QTimer::timeout, this, [] { returnNow(); });
    timer_.start();
}

bool FreedMemoryReturn::returnNow()
{
#if defined(__GLIBC__)
    // 0: keep no pad at the heap's top; free pages inside it go back too.
    malloc_trim(0);
    return true;
#else
    return false;
#endif
}
