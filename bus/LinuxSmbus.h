#pragma once
// The SMBus of a real Linux PC, through the kernel's i2c-dev. Each read or
// write is one SMBus byte-data transaction; the slave address is set only
// when it changes. A failed read gives 0xFF, what a bus pulled high reads
// when nothing answers; a failed write is silent.

#include "BusAdapter.h"
#include "I2cDev.h"
#include "SmbusAdapters.h"

#include <array>
#include <memory>
#include <optional>

class LinuxSmbus : public BusAdapter {
public:
    // Controller 1 and controller 2; either may be missing.
    using Controllers = std::array<std::optional<SmbusAdapter>, 2>;

    LinuxSmbus(Controllers controllers, std::unique_ptr<I2cDev> i2cDev);
    ~LinuxSmbus() override;
    LinuxSmbus(const LinuxSmbus&) = delete;
    LinuxSmbus& operator=(const LinuxSmbus&) = delete;

    // A missing controller gives 0, and every read afterwards gives 0xFF.
    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    std::uint8_t ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    void WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;

    const Controllers& controllers() const { return controllers_; }

private:
    struct AdapterFile {
        int fd = -1;
        int slave = -1; // the address the file is set to, -1 when unknown
    };

    // The chosen controller's file, opened on first use and kept; null when
    // there is no controller or its file cannot be opened.
    AdapterFile* chosenFile();
    bool addressDevice(AdapterFile& file, std::uint8_t device);
    void dropIfGone(AdapterFile& file, int result);

    Controllers controllers_;
    std::unique_ptr<I2cDev> i2cDev_;
    std::array<AdapterFile, 2> files_;
    std::optional<std::size_t> chosen_;
};
