// The poll tick on an in-memory bus, with steady readings and with every
// reading changing every tick, and the text rules the window runs on its
// fields and labels. The window is never shown, so this is the tick's own
// cost: the hop to the bus thread and back, reads, comparisons, text,
// setText; not painting. The poll alone, with no hop, gives the hop's cost
// by difference.

#include "bus/BusAdapter.h"
#include "chip/ValueText.h"
#include "protocol/CorvaneProtocol.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <array>
#include <benchmark/benchmark.h>

namespace rm = RegisterMap;

namespace {

class MemoryBus : public BusAdapter {
public:
    MemoryBus()
    {
        registers_[0x5C] = 0xC2;
        registers_[0x7C] = 0x01;
        for (int reg = 0x21; reg <= 0x30; ++reg)
            registers_[reg] = static_cast<std::uint8_t>(0x40 + reg);
    }
    std::uint16_t DetectSmbus(std::int32_t) override { return 0x0400; }
    ByteRead ReadSmbus(std::uint8_t, std::uint8_t reg) override { return ByteRead::of(registers_[reg]); }
    BusOutcome WriteSmbus(std::uint8_t, std::uint8_t reg, std::uint8_t data) override
    {
        registers_[reg] = data;
        return {};
    }
    ByteRead ReceiveByte(std::uint8_t) override { return ByteRead::of(0); }
    std::string controllerName() const override { return "Memory"; }

    // Moves every polled register, so every value label changes.
    void step()
    {
        for (int reg = 0x21; reg <= 0x30; ++reg)
            registers_[reg] = static_cast<std::uint8_t>((registers_[reg] + 1) | 0x01);
    }

private:
    std::array<std::uint8_t, 256> registers_{};
};

// Runs the window's events until its bus thread has handed back every result.
void settle(const Form1& form)
{
    while (!form.session().busIdle())
        QCoreApplication::processEvents();
}

void tick(Form1& form)
{
    form.session().Timer1_Timer();
    settle(form);
}

void PollTickSteady(benchmark::State& state)
{
    MemoryBus bus;
    Form1 form(bus);
    settle(form);
    tick(form);
    for (auto _ : state)
        tick(form);
}
BENCHMARK(PollTickSteady);

void PollTickChanging(benchmark::State& state)
{
    MemoryBus bus;
    Form1 form(bus);
    settle(form);
    for (auto _ : state) {
        bus.step();
        tick(form);
    }
}
BENCHMARK(PollTickChanging);

// The fourteen reads alone, on the calling thread.
void PollWithoutHop(benchmark::State& state)
{
    MemoryBus bus;
    CorvaneProtocol chip(bus);
    for (auto _ : state)
        benchmark::DoNotOptimize(chip.poll(0x2E));
}
BENCHMARK(PollWithoutHop);

void NumberText(benchmark::State& state)
{
    const double values[] = {25, -10, 1916, 3.3, 0.82, 1.21, 4.38, 60};
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(rm::numberText(value));
    }
}
BENCHMARK(NumberText);

void HexField(benchmark::State& state)
{
    const char* texts[] = {"2e", " 1 f", "0000ff", "1ff", "12g4", ""};
    for (auto _ : state) {
        for (const char* text : texts)
            benchmark::DoNotOptimize(rm::HexField(text));
    }
}
BENCHMARK(HexField);

void DecimalValue(benchmark::State& state)
{
    const char* texts[] = {"60", "12.5x", "&H32", "-1", "1e999", "abc"};
    for (auto _ : state) {
        for (const char* text : texts)
            benchmark::DoNotOptimize(rm::decimalValue(text));
    }
}
BENCHMARK(DecimalValue);

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
