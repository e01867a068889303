#include "session/AdapterFollower.h"

#include "protocol/AddressGuard.h"
#include "protocol/BusHealth.h"
#include "session/BenchSession.h"
#include "session/PlannedAdapterWatch.h"

#include <QSocketNotifier>
#include <algorithm>

AdapterFollower::AdapterFollower(LinuxSmbus& bus, std::unique_ptr<AdapterMonitor> monitor,
                                 std::filesystem::path sysfs, QObject* parent)
    : AdapterWatch(parent), bus_(bus), monitor_(std::move(monitor)), sysfs_(std::move(sysfs))
{
    if (monitor_->fd() >= 0) {
        notifier_ = new QSocketNotifier(monitor_->fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &AdapterFollower::takeEvents);
    }
}

void AdapterFollower::takeEvents()
{
    for (const AdapterEvent& event : monitor_->take()) {
        if (event.kind == AdapterEvent::Kind::Removed)
            removed(event.number);
        else
            added(event.number);
    }
}

void AdapterFollower::removed(int number)
{
    if (const auto controller = bus_.adapterRemoved(number))
        emit gone(*controller);
    for (std::size_t c = 0; c < strangers_.size(); ++c) {
        if (strangers_[c] && strangers_[c]->number == number) {
            strangers_[c].reset();
            emit strangerChanged(static_cast<int>(c));
        }
    }
}

void AdapterFollower::added(int number)
{
    // sysfs has it by the time its file is announced.
    const std::vector<SmbusAdapter> adapters = listSmbusAdapters(sysfs_);
    const auto adapter = std::ranges::find(adapters, number, &SmbusAdapter::number);
    if (adapter == adapters.end())
        return; // gone again already
    const auto arrival = bus_.adapterAdded(*adapter);
    if (!arrival)
        return;
    const auto c = static_cast<std::size_t>(arrival->controller);
    if (arrival->back) {
        const bool waited = strangers_[c].has_value();
        strangers_[c].reset();
        if (waited)
            emit strangerChanged(arrival->controller);
        emit back(arrival->controller);
    } else {
        strangers_[c] = *adapter;
        emit strangerChanged(arrival->controller);
    }
}

bool AdapterFollower::takeStranger(int controller)
{
    if (controller < 0 || controller >= static_cast<int>(strangers_.size()))
        return false;
    auto& waiting = strangers_[static_cast<std::size_t>(controller)];
    if (!waiting)
        return false;
    bus_.takeAdapter(controller, *waiting);
    waiting.reset();
    return true;
}

const std::optional<SmbusAdapter>& AdapterFollower::stranger(int controller) const
{
    return strangers_.at(static_cast<std::size_t>(controller));
}

void followAdapters(BenchSession& session, AdapterWatch& follower)
{
    QObject::connect(&follower, &AdapterWatch::gone, &session, &BenchSession::adapterGone);
    QObject::connect(&follower, &AdapterWatch::back, &session, &BenchSession::adapterBack);
    QObject::connect(&follower, &AdapterWatch::strangerChanged, &session, [&session, &follower](int controller) {
        const auto& adapter = follower.stranger(controller);
        session.strangerWaiting(controller, adapter ? BusHealth::strangerText(adapter->name, adapter->place,
                                                                               adapter->devicePath) +
                                                              ": choose " + controllerText(controller) +
                                                              " again to use it"
                                                    : std::string());
    });
    session.takeStrangersWith([&follower](int controller) { return follower.takeStranger(controller); });
}

AdapterWatch* followerFor(BusAdapter& bus, QObject& owner, std::string* why, const std::filesystem::path& sysfs)
{
    if (auto* faulty = dynamic_cast<FaultyBus*>(&bus))
        return new PlannedAdapterWatch(*faulty, &owner);
    auto* kernels = dynamic_cast<LinuxSmbus*>(&bus);
    if (!kernels)
        return nullptr;
    auto watching = watchAdapters();
    if (auto* problem = std::get_if<std::string>(&watching)) {
        *why = "Adapters that go and come back are not followed: " + *problem;
        return nullptr;
    }
    return new AdapterFollower(*kernels, std::move(std::get<std::unique_ptr<AdapterMonitor>>(watching)), sysfs,
                               &owner);
}

void followAdaptersOf(BenchSession& session, BusAdapter& bus)
{
    std::string why;
    if (AdapterWatch* follower = followerFor(bus, session, &why))
        followAdapters(session, *follower);
    else if (!why.empty())
        session.announce(QString::fromStdString(why), true);
}
