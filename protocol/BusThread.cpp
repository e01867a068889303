#include "BusThread.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <cerrno>

// Passes transactions through until the thread is asked to stop; from then
// on each fails at once, so a job in hand ends after its current
// transaction instead of running its remaining ones.
class BusThread::StoppableBus : public BusAdapter {
public:
    explicit StoppableBus(BusAdapter& bus) : bus_(bus) {}

    void stop() { stopped_ = true; }

    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override
    {
        return stopped_ ? 0 : bus_.DetectSmbus(controllerIndex);
    }
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override
    {
        return stopped_ ? ByteRead::failed(ECANCELED) : bus_.ReadSmbus(device, reg);
    }
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override
    {
        return stopped_ ? BusOutcome{ECANCELED, {}} : bus_.WriteSmbus(device, reg, data);
    }
    ByteRead ReceiveByte(std::uint8_t device) override
    {
        return stopped_ ? ByteRead::failed(ECANCELED) : bus_.ReceiveByte(device);
    }
    std::string kernelDriver(std::uint8_t device) const override { return bus_.kernelDriver(device); }
    void permitWriteBehindDriver(std::uint8_t device) override { bus_.permitWriteBehindDriver(device); }
    void permitReadBehindDriver(std::int32_t controllerIndex, std::uint8_t device) override
    {
        bus_.permitReadBehindDriver(controllerIndex, device);
    }
    std::string kernelClientName(std::int32_t controllerIndex, std::uint8_t device) const override
    {
        return bus_.kernelClientName(controllerIndex, device);
    }
    std::string controllerName() const override { return bus_.controllerName(); }
    std::string nameOfController(std::int32_t index) const override { return bus_.nameOfController(index); }

private:
    BusAdapter& bus_;
    std::atomic<bool> stopped_ = false;
};

BusThread::BusThread(BusAdapter& bus) : bus_(std::make_unique<StoppableBus>(bus)), protocol_(*bus_)
{
    thread_.setObjectName(QStringLiteral("bus"));
    worker_.moveToThread(&thread_);
    // A repeating job's timer belongs to the bus thread's event loop: it
    // goes with the thread, not later from the thread that ends this object.
    QObject::connect(
        &thread_, &QThread::finished, &worker_, [this] { qDeleteAll(worker_.findChildren<QTimer*>()); },
        Qt::DirectConnection);
    thread_.start();
}

void BusThread::repeat(std::chrono::milliseconds interval, std::function<void(CorvaneProtocol&)> job)
{
    QMetaObject::invokeMethod(
        &worker_,
        [this, interval, job = std::move(job)] {
            auto* timer = new QTimer(&worker_);
            timer->setInterval(interval);
            QObject::connect(timer, &QTimer::timeout, &worker_, [this, job] { job(protocol_); });
            timer->start();
            job(protocol_);
        },
        Qt::QueuedConnection);
}

BusThread::~BusThread()
{
    bus_->stop();
    thread_.quit();
    thread_.wait();
}

bool BusThread::stop(std::chrono::milliseconds limit)
{
    bus_->stop();
    thread_.quit();
    return thread_.wait(QDeadlineTimer(limit));
}
