#include "SimulatedCorvane.h"

#include "chip/Conversions.h"
#include "chip/RegisterMap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>

namespace rm = RegisterMap;

namespace {

// The steady speeds of fans 2 and 3.
constexpr std::uint16_t Fan2Count = 2700; // 2000 rpm
constexpr std::uint16_t Fan3Count = 3600; // 1500 rpm
constexpr std::uint16_t StalledCount = 0xFFFF;
constexpr double TachClock = 5400000;

// Supplies sit at their nominal raw values: 3.3 V on Vcc, 1.2 V on Vccp.
constexpr int VccNominal = 192;
constexpr int VccpNominal = 102;

// The automatic fan curve: a floor duty up to CurveLow, full duty from
// CurveHigh, a straight line between.
constexpr double CurveLowCelsius = 30;
constexpr double CurveHighCelsius = 60;
constexpr double CurveFloorDuty = 0x4D; // 30 %

bool isTach(std::uint8_t reg) { return reg >= rm::Fan1TachLow && reg <= rm::Fan4TachHigh; }
int tachFan(std::uint8_t reg) { return (reg - rm::Fan1TachLow) / 2; }

// The simulated chip runs at every start of a simulated window, where
// libm's sine and exponential page in a third of a megabyte (measured
// against the bare Qt window) for a drift and a lag that need three
// digits. Plain arithmetic does.

// sin(x) to within 0.002: Bhaskara's approximation on each half turn.
double roughSine(double x)
{
    constexpr double pi = std::numbers::pi;
    const auto turns = static_cast<std::int64_t>(x / (2 * pi));
    x -= static_cast<double>(turns) * 2 * pi;
    if (x < 0)
        x += 2 * pi;
    const double sign = x > pi ? -1 : 1;
    if (x > pi)
        x -= pi;
    return sign * 16 * x * (pi - x) / (5 * pi * pi - 4 * x * (pi - x));
}

// e^-x to within 0.1 %, for x >= 0: a Padé approximant of x halved until it
// is small, squared back up.
double roughExpMinus(double x)
{
    int halvings = 0;
    for (; x > 0.5 && halvings < 64; ++halvings)
        x /= 2;
    double e = (1 - x / 2 + x * x / 12) / (1 + x / 2 + x * x / 12);
    while (halvings-- > 0)
        e *= e;
    return e;
}

double wave(double seconds, double period, double phase)
{
    return roughSine(2 * std::numbers::pi * seconds / period + phase);
}

std::array<std::uint8_t, 256> powerOnRegisters()
{
    std::array<std::uint8_t, 256> registers{};
    registers[0x3D] = 0x68;                   // device identification,
    registers[0x3E] = 0x43;                   // maker,
    registers[0x3F] = 0x12;                   // and stepping: read-only
    registers[0x40] = 0x01;                   // monitoring started
    registers[rm::Pwm1Configuration] = 0xC2;  // fastest of three channels
    registers[rm::FanDriveFrequency] = 0xC4;  // low frequency drive
    registers[rm::Fan1Pulses] = 0x55;         // two pulses per revolution
    registers[rm::TemperatureCoding] = 0x01;  // two's complement
    return registers;
}

} // namespace

SimulatedCorvane::SimulatedCorvane(Clock clock, Noise noise)
    : clock_(std::move(clock)), noise_(std::move(noise)), registers_(powerOnRegisters())
{
}

std::uint8_t SimulatedCorvane::read(std::uint8_t reg)
{
    updateIfDue();
    if (isTach(reg)) {
        const int fan = tachFan(reg);
        if (reg == rm::fanTachLow(fan)) {
            latchedTachHigh_[fan] = registers_[rm::fanTachHigh(fan)];
            tachHighLatched_[fan] = true;
        } else if (tachHighLatched_[fan]) {
            tachHighLatched_[fan] = false;
            return latchedTachHigh_[fan];
        }
    }
    return registers_[reg];
}

void SimulatedCorvane::write(std::uint8_t reg, std::uint8_t data)
{
    updateIfDue();
    // The identification registers are read-only: a write is acknowledged
    // and changes nothing, as on the chip.
    if (reg >= 0x3D && reg <= 0x3F)
        return;
    if (reg == rm::Pwm1Duty) {
        // The chip drives the duty itself unless it is in manual mode.
        if (rm::behaviour(registers_[rm::Pwm1Configuration]) == rm::ManualBehaviour) {
            registers_[reg] = data;
            written_[reg] = true;
        }
        return;
    }
    registers_[reg] = data;
    written_[reg] = true;
    if (rm::isMeasurement(reg)) {
        pinned_[reg] = true;
        // A pinned high byte reads back at once, even after a low-byte read.
        if (isTach(reg) && reg == rm::fanTachHigh(tachFan(reg)))
            tachHighLatched_[tachFan(reg)] = false;
    }
}

void SimulatedCorvane::holdMeasurements()
{
    // Held where a quiet chip stands at its clock's zero: the same readings
    // in every run, so what one command reads of a held chip another
    // (serve, read --json) reads too.
    Noise noise = std::exchange(noise_, [] { return 0.0; });
    fan1Rpm_ = -1; // at the speed its duty holds it at
    update(0);
    noise_ = std::move(noise);
    lastUpdate_ = clock_();
    updated_ = true;
    held_ = true;
}

SimulatedCorvane::State SimulatedCorvane::state() const
{
    State state{registers_, {}};
    for (std::size_t reg = 0; reg < pinned_.size(); ++reg)
        state.pinned[reg] = pinned_[reg];
    return state;
}

void SimulatedCorvane::restore(const State& state)
{
    registers_ = state.registers;
    for (std::size_t reg = 0; reg < pinned_.size(); ++reg)
        pinned_[reg] = state.pinned[reg];
    tachHighLatched_ = {};
    written_.reset();
    update(clock_());
    lastUpdate_ = clock_();
    updated_ = true;
}

void SimulatedCorvane::updateIfDue()
{
    const double now = clock_();
    if (updated_ && now - lastUpdate_ < UpdateInterval)
        return;
    update(now);
    lastUpdate_ = now;
    updated_ = true;
}

void SimulatedCorvane::update(double seconds)
{
    // Slow drifts of a few degrees around a warm CPU, a cooler board and a
    // cool ambient sensor.
    setMeasurement(rm::Remote1Temperature, temperatureByte(46 + 4 * wave(seconds, 97, 0) + 0.4 * noise_()));
    setMeasurement(rm::LocalTemperature, temperatureByte(37 + 2 * wave(seconds, 61, 1.3) + 0.4 * noise_()));
    setMeasurement(rm::Remote2Temperature, temperatureByte(31 + 1.5 * wave(seconds, 43, 2.1) + 0.4 * noise_()));

    const auto decoded = [this](std::uint8_t reg) {
        return static_cast<double>(rm::temperature(registers_[reg], rm::offsetCoded(registers_[rm::TemperatureCoding])));
    };
    const int behaviour = rm::behaviour(registers_[rm::Pwm1Configuration]);
    if (behaviour == rm::FullSpeedBehaviour)
        registers_[rm::Pwm1Duty] = 0xFF;
    else if (behaviour == rm::DisabledBehaviour)
        registers_[rm::Pwm1Duty] = 0x00;
    else if (behaviour != rm::ManualBehaviour)
        registers_[rm::Pwm1Duty] = automaticDuty(decoded(rm::Remote1Temperature), decoded(rm::LocalTemperature),
                                                 decoded(rm::Remote2Temperature));

    updateFan1(seconds);
    setTachCount(1, static_cast<std::uint16_t>(Fan2Count + jitter(8)));
    setTachCount(2, static_cast<std::uint16_t>(Fan3Count + jitter(8)));
    setTachCount(3, StalledCount);

    setMeasurement(rm::VccReading, static_cast<std::uint8_t>(VccNominal + jitter(1)));
    setMeasurement(rm::VccpReading, static_cast<std::uint8_t>(VccpNominal + jitter(1)));
}

void SimulatedCorvane::updateFan1(double seconds)
{
    const double duty = registers_[rm::Pwm1Duty] * 100.0 / 255.0;
    if (fan1Turning_ && duty < Fan1StallPercent)
        fan1Turning_ = false;
    else if (!fan1Turning_ && duty > Fan1StartPercent)
        fan1Turning_ = true;
    const double target = fan1Turning_ ? Fan1FullSpeedRpm * duty / 100.0 : 0;
    if (fan1Rpm_ < 0)
        fan1Rpm_ = target;
    else
        fan1Rpm_ += (target - fan1Rpm_) * (1 - roughExpMinus(std::max(0.0, seconds - lastUpdate_) / Fan1TimeConstant));
    const double measured = fan1Rpm_ * (1 + 0.005 * noise_());
    // A fan coasting below what the tach can count reads as stalled.
    const double count = measured > TachClock / StalledCount ? TachClock / measured : StalledCount;
    setTachCount(0, static_cast<std::uint16_t>(std::clamp(std::round(count), 1.0, double{StalledCount})));
}

void SimulatedCorvane::setMeasurement(std::uint8_t reg, std::uint8_t value)
{
    if (!pinned_[reg] && !held_)
        registers_[reg] = value;
}

void SimulatedCorvane::setTachCount(int fan, std::uint16_t count)
{
    setMeasurement(rm::fanTachLow(fan), static_cast<std::uint8_t>(count & 0xFF));
    setMeasurement(rm::fanTachHigh(fan), static_cast<std::uint8_t>(count >> 8));
}

std::uint8_t SimulatedCorvane::temperatureByte(double celsius) const
{
    const bool offsetCoded = rm::offsetCoded(registers_[rm::TemperatureCoding]);
    const int lowest = offsetCoded ? -64 : -128;
    const int highest = offsetCoded ? 191 : 127;
    const int whole = std::clamp(static_cast<int>(std::lround(celsius)), lowest, highest);
    return static_cast<std::uint8_t>(offsetCoded ? whole + 64 : whole & 0xFF);
}

std::uint8_t SimulatedCorvane::automaticDuty(double remote1, double local, double remote2) const
{
    const auto curve = [](double celsius) {
        const double share = std::clamp((celsius - CurveLowCelsius) / (CurveHighCelsius - CurveLowCelsius), 0.0, 1.0);
        return CurveFloorDuty + share * (0xFF - CurveFloorDuty);
    };
    double duty = 0;
    switch (rm::behaviour(registers_[rm::Pwm1Configuration])) {
    case rm::RemoteOneBehaviour: duty = curve(remote1); break;
    case rm::LocalBehaviour: duty = curve(local); break;
    case rm::RemoteTwoBehaviour: duty = curve(remote2); break;
    case rm::FastestLocalRemote2Behaviour: duty = std::max(curve(local), curve(remote2)); break;
    default: duty = std::max({curve(remote1), curve(local), curve(remote2)}); break;
    }
    return static_cast<std::uint8_t>(std::lround(duty));
}

int SimulatedCorvane::jitter(int steps)
{
    return static_cast<int>(std::lround(steps * noise_()));
}
