#include "bus/AdapterMonitor.h"

#include <gtest/gtest.h>

namespace {

TEST(AdapterMonitor, ReadsOnlyAnI2cDevFilesComingAndGoing)
{
    using Kind = AdapterEvent::Kind;
    const std::tuple<const char*, const char*, std::optional<AdapterEvent>> cases[] = {
        {"add", "i2c-3", AdapterEvent{Kind::Added, 3}},
        {"remove", "i2c-12", AdapterEvent{Kind::Removed, 12}},
        {"change", "i2c-3", std::nullopt},
        {"bind", "i2c-3", std::nullopt},
        {"add", "i2c-", std::nullopt},
        {"add", "i2c-3a", std::nullopt},
        {"add", "i2c--1", std::nullopt},
        {"add", "spi-3", std::nullopt},
        {"add", "i2c-99999999999", std::nullopt},
    };
    for (const auto& [action, name, event] : cases)
        EXPECT_EQ(adapterEventOf(action, name), event) << action << " " << name;
}

} // namespace
