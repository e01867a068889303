#pragma once
// The chip as the monitoring engine scrapes it: every reading in base
// units, whether the chip was read, how many polls ran and failed and how
// long the last took. Fed poll by poll; a reading whose read failed is left
// out of the scrapes until it is read again, never shown as 0 or -1.

#include "bus/ErrnoName.h"
#include "chip/RegisterMap.h"
#include "protocol/PollReadings.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

class ExporterMetrics {
public:
    // Every series carries device, controller and bus.
    struct Origin {
        std::uint8_t device = RegisterMap::DefaultDeviceAddress;
        int controller = 1; // 0 or 1
        std::string bus;
    };

    ExporterMetrics(prometheus::Registry& registry, const Origin& origin);

    // One poll's result: its bytes, the temperature coding (nothing while
    // it is not known, and the temperatures are left out), the PWM1
    // behaviour where 0x5C was read, and how long it all took.
    void showPoll(const PollResult& poll, std::optional<bool> offsetCoded, std::optional<int> behaviour);

private:
    // A gauge of a family that is in the scrape only while it has a value.
    class Series {
    public:
        Series(prometheus::Family<prometheus::Gauge>& family, prometheus::Labels labels)
            : family_(family), labels_(std::move(labels))
        {
        }
        void show(std::optional<double> value);

    private:
        prometheus::Family<prometheus::Gauge>& family_;
        prometheus::Labels labels_;
        prometheus::Gauge* gauge_ = nullptr;
    };

    prometheus::Family<prometheus::Counter>& errorsFamily_;
    prometheus::Gauge& up_;
    prometheus::Counter& polls_;
    prometheus::Gauge& duration_;
    std::array<std::unique_ptr<Series>, Poll::ReadingCount> readings_;
    std::array<std::unique_ptr<Series>, 8> behaviours_;
    std::map<int, prometheus::Counter*> errors_;
};

