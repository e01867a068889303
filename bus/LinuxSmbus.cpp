#include "LinuxSmbus.h"

#include <cerrno>
#include <cstdio>
#include <variant>

LinuxSmbus::LinuxSmbus(Controllers controllers, std::unique_ptr<I2cDev> i2cDev, std::filesystem::path sysfs)
    : controllers_(std::move(controllers)), i2cDev_(std::move(i2cDev)), sysfs_(std::move(sysfs))
{
}

LinuxSmbus::~LinuxSmbus()
{
    for (AdapterFile& file : files_)
        closeFile(file);
}

void LinuxSmbus::closeFile(AdapterFile& file)
{
    if (file.fd >= 0)
        i2cDev_->close(file.fd);
    file.fd = -1;
    file.slave = -1;
    file.forced = false;
}

std::uint16_t LinuxSmbus::DetectSmbus(std::int32_t controllerIndex)
{
    const std::scoped_lock transaction(transactions_);
    const std::scoped_lock lock(adapters_);
    chosen_.reset();
    if (controllerIndex < 0 || controllerIndex >= static_cast<std::int32_t>(controllers_.size()))
        return 0;
    const auto index = static_cast<std::size_t>(controllerIndex);
    if (!controllers_[index])
        return 0;
    chosen_ = index;
    return controllers_[index]->baseAddress;
}

std::string LinuxSmbus::controllerName() const
{
    const std::scoped_lock lock(adapters_);
    const std::string name = chosen_ ? nameOf(*chosen_) : std::string();
    return name.empty() ? "No SMBus controller" : name;
}

std::string LinuxSmbus::nameOfController(std::int32_t index) const
{
    const std::scoped_lock lock(adapters_);
    if (index < 0 || index >= static_cast<std::int32_t>(controllers_.size()))
        return {};
    return nameOf(static_cast<std::size_t>(index));
}

std::string LinuxSmbus::nameOf(std::size_t controller) const
{
    if (!controllers_[controller])
        return {};
    const SmbusAdapter& adapter = *controllers_[controller];
    return adapter.name.empty() ? adapter.devicePath : adapter.name;
}

std::variant<LinuxSmbus::AdapterFile*, int> LinuxSmbus::chosenFile()
{
    std::string path;
    {
        // A gone adapter's number may be another's by now: nothing is
        // opened until the adapter itself is back.
        const std::scoped_lock lock(adapters_);
        if (!chosen_ || gone_[*chosen_])
            return -ENODEV;
        path = controllers_[*chosen_]->devicePath;
    }
    AdapterFile& file = files_[*chosen_];
    if (file.fd < 0) {
        // Tried again on every transaction, so access granted while the
        // window runs (a group change, a module loaded) takes effect.
        const int fd = i2cDev_->open(path);
        if (fd < 0)
            return fd;
        file.fd = fd;
        file.slave = -1;
    }
    return &file;
}

int LinuxSmbus::addressDevice(AdapterFile& file, std::uint8_t device, bool forceAllowed)
{
    if (file.slave == device && (!file.forced || forceAllowed))
        return 0;
    if (file.slave != device) {
        file.slave = -1;
        file.forced = false;
        file.driver.clear();
        const int result = i2cDev_->setSlave(file.fd, device, false);
        if (result != -EBUSY) {
            dropIfGone(file, result);
            if (result == 0)
                file.slave = device;
            return result;
        }
        // A kernel driver owns the address.
        file.driver = driverOf(device);
        if (file.driver.empty())
            file.driver = "unknown";
    }
    if (!forceAllowed)
        return -EBUSY;
    const int result = i2cDev_->setSlave(file.fd, device, true);
    dropIfGone(file, result);
    file.slave = result == 0 ? device : -1;
    file.forced = result == 0;
    return result;
}

std::string LinuxSmbus::kernelClientName(std::int32_t controllerIndex, std::uint8_t device) const
{
    const std::scoped_lock lock(adapters_);
    if (controllerIndex < 0 || controllerIndex >= static_cast<std::int32_t>(controllers_.size()))
        return {};
    return clientName(static_cast<std::size_t>(controllerIndex), device);
}

std::string LinuxSmbus::clientName(std::size_t controller, std::uint8_t device) const
{
    if (!controllers_[controller])
        return {};
    // The kernel names a client "N-00aa" after its adapter and address.
    char client[32];
    std::snprintf(client, sizeof client, "%d-%04x", controllers_[controller]->number, device);
    return client;
}

std::string LinuxSmbus::driverOf(std::uint8_t device) const
{
    return driverOn(*chosen_, device);
}

std::string LinuxSmbus::kernelDriverOn(std::int32_t controllerIndex, std::uint8_t device) const
{
    if (controllerIndex < 0 || controllerIndex >= static_cast<std::int32_t>(controllers_.size()))
        return {};
    return driverOn(static_cast<std::size_t>(controllerIndex), device);
}

std::string LinuxSmbus::driverOn(std::size_t controller, std::uint8_t device) const
{
    // sysfs links the client's driver beside it; a gone adapter has none.
    std::string client;
    {
        const std::scoped_lock lock(adapters_);
        if (!gone_[controller])
            client = clientName(controller, device);
    }
    if (client.empty())
        return {};
    std::error_code error;
    const auto driver = std::filesystem::read_symlink(sysfs_ / "bus" / "i2c" / "devices" / client / "driver", error);
    return error ? std::string() : driver.filename().string();
}

void LinuxSmbus::dropIfGone(AdapterFile& file, int result)
{
    // ENODEV on an open file: the adapter went away (a USB adapter unplugged,
    // its driver unloaded). Close it, so the next transaction opens the
    // device file afresh and finds the adapter once it is back. Some
    // drivers also say ENODEV where no device answers; for them this costs
    // one open per such transaction.
    if (result != -ENODEV || file.fd < 0)
        return;
    closeFile(file);
}

template <typename Transfer>
LinuxSmbus::Transaction LinuxSmbus::transact(std::uint8_t device, bool forceAllowed, Transfer transfer)
{
    const auto chosen = chosenFile();
    if (const int* error = std::get_if<int>(&chosen))
        return {*error, {}};
    AdapterFile& file = *std::get<AdapterFile*>(chosen);
    if (const int result = addressDevice(file, device, forceAllowed); result < 0)
        return {result, file.driver};
    std::string driver = file.forced ? file.driver : std::string();
    const int result = transfer(file.fd);
    dropIfGone(file, result);
    return {result, std::move(driver)};
}

ByteRead LinuxSmbus::ReadSmbus(std::uint8_t device, std::uint8_t reg)
{
    const std::scoped_lock transaction(transactions_);
    // A driver reads its device in ordered pairs (a fan count's low byte,
    // then its high byte); a read of ours between them can split a pair on
    // either side. Only with the user's word, as i2cget only with -f.
    const bool permitted = chosen_ && files_[*chosen_].readableBehindDriver.contains(device);
    const Transaction t = transact(device, permitted, [&](int fd) { return i2cDev_->readByteData(fd, reg); });
    return t.result >= 0 ? ByteRead{{0, t.driver}, static_cast<std::uint8_t>(t.result)}
                         : ByteRead::failed(-t.result, t.driver);
}

BusOutcome LinuxSmbus::WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    const std::scoped_lock transaction(transactions_);
    const bool permitted = chosen_ && files_[*chosen_].writableBehindDriver.contains(device);
    const Transaction t = transact(device, permitted, [&](int fd) { return i2cDev_->writeByteData(fd, reg, data); });
    return {t.result < 0 ? -t.result : 0, t.driver};
}

ByteRead LinuxSmbus::ReceiveByte(std::uint8_t device)
{
    const std::scoped_lock transaction(transactions_);
    // A scan does not force its way past a driver: i2cdetect shows UU there.
    const Transaction t = transact(device, false, [&](int fd) { return i2cDev_->receiveByte(fd); });
    return t.result >= 0 ? ByteRead::of(static_cast<std::uint8_t>(t.result)) : ByteRead::failed(-t.result, t.driver);
}

std::string LinuxSmbus::kernelDriver(std::uint8_t device) const
{
    const std::scoped_lock transaction(transactions_);
    return chosen_ ? driverOf(device) : std::string();
}

void LinuxSmbus::permitWriteBehindDriver(std::uint8_t device)
{
    const std::scoped_lock transaction(transactions_);
    if (!chosen_)
        return;
    files_[*chosen_].writableBehindDriver.insert(device);
    files_[*chosen_].readableBehindDriver.insert(device);
}

void LinuxSmbus::permitReadBehindDriver(std::int32_t controllerIndex, std::uint8_t device)
{
    const std::scoped_lock transaction(transactions_);
    if (controllerIndex >= 0 && controllerIndex < static_cast<std::int32_t>(files_.size()))
        files_[static_cast<std::size_t>(controllerIndex)].readableBehindDriver.insert(device);
}

std::optional<int> LinuxSmbus::adapterRemoved(int number)
{
    std::optional<std::size_t> removed;
    {
        // Marked gone first: no transaction after this one opens anything.
        const std::scoped_lock lock(adapters_);
        for (std::size_t c = 0; c < controllers_.size() && !removed; ++c) {
            if (controllers_[c] && !gone_[c] && controllers_[c]->number == number) {
                gone_[c] = true;
                removed = c;
            }
        }
    }
    if (!removed)
        return std::nullopt;
    // After the transaction in flight, if any.
    const std::scoped_lock transaction(transactions_);
    closeFile(files_[*removed]);
    return static_cast<int>(*removed);
}

std::optional<LinuxSmbus::Arrival> LinuxSmbus::adapterAdded(const SmbusAdapter& adapter)
{
    const std::scoped_lock lock(adapters_);
    for (std::size_t c = 0; c < controllers_.size(); ++c) {
        if (controllers_[c] && gone_[c] && sameAdapter(*controllers_[c], adapter)) {
            // The drivers agreed to go past were on this very bus: they hold.
            controllers_[c] = adapter;
            gone_[c] = false;
            return Arrival{static_cast<int>(c), true};
        }
    }
    for (std::size_t c = 0; c < controllers_.size(); ++c) {
        if (controllers_[c] && gone_[c] && controllers_[c]->name == adapter.name)
            return Arrival{static_cast<int>(c), false};
    }
    return std::nullopt;
}

void LinuxSmbus::takeAdapter(int controller, const SmbusAdapter& adapter)
{
    if (controller < 0 || controller >= static_cast<int>(controllers_.size()))
        return;
    const auto c = static_cast<std::size_t>(controller);
    {
        const std::scoped_lock transaction(transactions_);
        closeFile(files_[c]);
        files_[c] = AdapterFile{};
    }
    const std::scoped_lock lock(adapters_);
    controllers_[c] = adapter;
    gone_[c] = false;
}

bool LinuxSmbus::isGone(int controller) const
{
    const std::scoped_lock lock(adapters_);
    return controller >= 0 && controller < static_cast<int>(gone_.size()) && gone_[static_cast<std::size_t>(controller)];
}

std::optional<SmbusAdapter> LinuxSmbus::adapterOf(int controller) const
{
    const std::scoped_lock lock(adapters_);
    if (controller < 0 || controller >= static_cast<int>(controllers_.size()))
        return std::nullopt;
    return controllers_[static_cast<std::size_t>(controller)];
}

bool LinuxSmbus::adapterGone(std::int32_t controllerIndex) const
{
    const std::scoped_lock lock(adapters_);
    if (controllerIndex < 0 || controllerIndex >= static_cast<std::int32_t>(controllers_.size()))
        return false;
    const auto c = static_cast<std::size_t>(controllerIndex);
    if (gone_[c])
        return true;
    if (!controllers_[c])
        return false;
    std::error_code error;
    return !std::filesystem::exists(sysfs_ / "bus" / "i2c" / "devices" / ("i2c-" + std::to_string(controllers_[c]->number)),
                                    error);
}
