#include "bus/SmbusAccess.h"
#include "support/FakeI2cDev.h"

#include <gtest/gtest.h>

namespace {

using Kind = SmbusAccessProblem::Kind;

const SmbusAdapter Controller1{0, "SMBus I801 adapter at 0700", "/dev/i2c-0", 0x0700, true, "/sys/devices/pci0000:00/0000:00:1f.3"};
const SmbusAdapter Stub{1, "SMBus stub driver", "/dev/i2c-1", 0, false, "/sys/devices"};
const SmbusAdapter Controller2{2, "SMBus I801 adapter at 0b00", "/dev/i2c-2", 0x0b00, true, "/sys/devices/pci0000:00/0000:00:1f.3"};

struct Outcome {
    std::optional<Kind> problem;
    std::string subject;
};

// Runs an opening over a fake i2c-dev; on success, checks that the probe
// left no file open and reads register 0 of 0x2E on each controller.
template <typename Open>
Outcome open(FakeI2cDev& dev, Open&& opening, std::vector<int>* bases = nullptr)
{
    auto owned = std::make_unique<FakeI2cDev>(dev);
    FakeI2cDev* fake = owned.get();
    SmbusOpening result = opening(std::move(owned));
    if (auto* problem = std::get_if<SmbusAccessProblem>(&result))
        return {problem->kind, problem->subject};
    EXPECT_EQ(*fake->openFiles, 0) << "checking access must not keep files open";
    auto& bus = *std::get<std::unique_ptr<LinuxSmbus>>(result);
    if (bases) {
        for (int index : {0, 1})
            bases->push_back(bus.DetectSmbus(index));
    }
    return {};
}

TEST(SmbusAccess, OpensTheHostControllersOrSaysWhyNot)
{
    struct Case {
        const char* situation;
        std::vector<SmbusAdapter> adapters;
        std::function<void(FakeI2cDev&)> arrange;
        Outcome expected;
        std::vector<int> bases;
    };
    const auto bothFilesThere = [](FakeI2cDev& dev) { dev.files = {"/dev/i2c-0", "/dev/i2c-1", "/dev/i2c-2"}; };
    const Case cases[] = {
        {"both controllers open", {Controller1, Stub, Controller2}, bothFilesThere, {}, {0x0700, 0x0b00}},
        {"only one controller: controller 2 is absent", {Controller1, Stub}, bothFilesThere, {}, {0x0700, 0}},
        {"no SMBus controller, only a software adapter", {Stub}, bothFilesThere, {Kind::NoController, ""}, {}},
        {"i2c-dev not loaded: no device files", {Controller1, Controller2}, [](FakeI2cDev&) {},
         {Kind::I2cDevNotLoaded, "/dev/i2c-0"}, {}},
        {"not allowed to open either",
         {Controller1, Controller2},
         [](FakeI2cDev& dev) { dev.openErrors = {{"/dev/i2c-0", EACCES}, {"/dev/i2c-2", EACCES}}; },
         {Kind::PermissionDenied, "/dev/i2c-0"}, {}},
        {"some other failure", {Controller1}, [](FakeI2cDev& dev) { dev.openErrors = {{"/dev/i2c-0", EIO}}; },
         {Kind::OtherError, "/dev/i2c-0"}, {}},
        {"one of the two opens: the other is still listed, reads there give 0xFF",
         {Controller1, Controller2},
         [](FakeI2cDev& dev) {
             dev.files = {"/dev/i2c-2"};
             dev.openErrors = {{"/dev/i2c-0", EACCES}};
         },
         {}, {0x0700, 0x0b00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        FakeI2cDev dev;
        c.arrange(dev);
        std::vector<int> bases;
        const Outcome outcome =
            open(dev, [&](std::unique_ptr<I2cDev> fake) { return openHostControllers(c.adapters, std::move(fake)); },
                 &bases);
        EXPECT_EQ(outcome.problem, c.expected.problem);
        EXPECT_EQ(outcome.subject, c.expected.subject);
        EXPECT_EQ(bases, c.bases);
    }
}

TEST(SmbusAccess, OpensTheAdaptersTheUserNamed)
{
    struct Case {
        std::vector<std::string> names;
        std::function<void(FakeI2cDev&)> arrange;
        Outcome expected;
        std::vector<int> bases;
    };
    const auto filesThere = [](FakeI2cDev& dev) { dev.files = {"/dev/i2c-0", "/dev/i2c-1", "/dev/i2c-2"}; };
    const Case cases[] = {
        {{"SMBus stub driver"}, filesThere, {}, {0, 0}},
        {{"/dev/i2c-2", "SMBus I801 adapter at 0700"}, filesThere, {}, {0x0b00, 0x0700}},
        {{"/dev/i2c-0", "/dev/i2c-7"}, filesThere, {Kind::NoSuchAdapter, "/dev/i2c-7"}, {}},
        {{"SMBus stub driver"}, [](FakeI2cDev& dev) { dev.openErrors = {{"/dev/i2c-1", EACCES}}; },
         {Kind::PermissionDenied, "/dev/i2c-1"}, {}},
        {{"/dev/i2c-1"}, [](FakeI2cDev&) {}, {Kind::I2cDevNotLoaded, "/dev/i2c-1"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.front());
        FakeI2cDev dev;
        c.arrange(dev);
        std::vector<int> bases;
        const Outcome outcome = open(
            dev,
            [&](std::unique_ptr<I2cDev> fake) {
                return openNamedAdapters({Controller1, Stub, Controller2}, c.names, std::move(fake));
            },
            &bases);
        EXPECT_EQ(outcome.problem, c.expected.problem);
        EXPECT_EQ(outcome.subject, c.expected.subject);
        EXPECT_EQ(bases, c.bases);
    }
}

// Each reason names the file and the command that mends it.
TEST(SmbusAccess, ReasonsTellTheUserWhatToDo)
{
    const std::pair<SmbusAccessProblem, std::vector<std::string>> cases[] = {
        {{Kind::NoController, "", 0}, {"No SMBus controller", "i2c-i801", "i2c-piix4", "i2cdetect -l"}},
        {{Kind::NoSuchAdapter, "SMBus stb", 0}, {"\"SMBus stb\"", "/dev/i2c-N", "i2cdetect -l"}},
        {{Kind::I2cDevNotLoaded, "/dev/i2c-0", ENOENT}, {"/dev/i2c-0", "sudo modprobe i2c-dev", "modules-load.d"}},
        {{Kind::PermissionDenied, "/dev/i2c-3", EACCES},
         {"/dev/i2c-3", "usermod -aG i2c", "GROUP=\"i2c\", MODE=\"0660\"", "Rather than running this window as root"}},
        {{Kind::OtherError, "/dev/i2c-4", EIO}, {"/dev/i2c-4", "Input/output error"}},
    };
    for (const auto& [problem, sayings] : cases) {
        const std::string text = describe(problem);
        for (const auto& saying : sayings)
            EXPECT_NE(text.find(saying), std::string::npos) << "missing '" << saying << "' in:\n" << text;
    }
}

} // namespace
