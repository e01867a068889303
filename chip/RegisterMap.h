#pragma once
// The Corvane's registers and settings fields. Pure computation: callers do
// the bus traffic and hand the register bytes in.

#include <array>
#include <cstdint>
#include <string_view>

namespace RegisterMap {

using Byte = std::uint8_t;

// Where the chip answers unless its address pins are strapped otherwise.
inline constexpr Byte DefaultDeviceAddress = 0x2E;

// Register indexes.
inline constexpr Byte VccpReading = 0x21;
inline constexpr Byte VccReading = 0x22;
inline constexpr Byte Remote1Temperature = 0x25;
inline constexpr Byte LocalTemperature = 0x26;
inline constexpr Byte Remote2Temperature = 0x27;
inline constexpr Byte Fan1TachLow = 0x28;
inline constexpr Byte Fan4TachHigh = 0x2F;
inline constexpr Byte Pwm1Duty = 0x30;
// Start-up reads these two and throws the values away; reading them is
// what the chip has always been brought up with.
inline constexpr Byte StartupRead1 = 0x41;
inline constexpr Byte StartupRead2 = 0x42;
inline constexpr Byte Pwm1Configuration = 0x5C;
inline constexpr Byte FanDriveFrequency = 0x5F;
inline constexpr Byte Fan1Pulses = 0x7B;
inline constexpr Byte TemperatureCoding = 0x7C;
// Device, maker and stepping: read-only, and what tells this chip from
// any other device's registers.
inline constexpr Byte FirstIdentification = 0x3D;
inline constexpr Byte LastIdentification = 0x3F;
// What the chip's device and maker registers hold; its stepping may differ.
inline constexpr Byte ChipDeviceId = 0x68;
inline constexpr Byte ChipMakerId = 0x43;
constexpr bool identifiesAsChip(Byte device, Byte maker) { return device == ChipDeviceId && maker == ChipMakerId; }

inline constexpr int FanCount = 4;

// Fan n (0-based here) has its tach count in a low/high register pair.
constexpr Byte fanTachLow(int fan) { return static_cast<Byte>(Fan1TachLow + 2 * fan); }
constexpr Byte fanTachHigh(int fan) { return static_cast<Byte>(Fan1TachLow + 1 + 2 * fan); }

// The measurement registers the chip overwrites on its own.
constexpr bool isMeasurement(Byte reg)
{
    return reg == VccpReading || reg == VccReading ||
           (reg >= Remote1Temperature && reg <= Fan4TachHigh);
}

// The registers the program sets itself: the PWM1 duty, behaviour, drive
// frequency, Fan1 pulses and the temperature coding. A restore writes only
// these unless told otherwise.
constexpr bool isKnownSetting(Byte reg)
{
    return reg == Pwm1Duty || reg == Pwm1Configuration || reg == FanDriveFrequency || reg == Fan1Pulses ||
           reg == TemperatureCoding;
}

// Settings lists: an entry's position is its field value.
inline constexpr std::array<std::string_view, 8> BehaviourEntries = {
    "Remote1",  "Local", "Remote2", "Full Speed", "Disabled", "Fastest of Local and Remote2",
    "Fastest Speed of 3 channels", "Manual Mode"};
inline constexpr std::array<std::string_view, 2> FrequencyEntries = {"Low Freq. (3-wire)",
                                                                     "High Freq. (4-wire)"};
inline constexpr std::array<std::string_view, 4> PulsesEntries = {"1", "2", "3", "4"};

// The same entries as the command line names them, one word each.
inline constexpr std::array<std::string_view, 8> BehaviourNames = {
    "remote1", "local", "remote2", "full-speed", "disabled", "fastest-local-remote2", "fastest-of-3", "manual"};
inline constexpr std::array<std::string_view, 2> FrequencyNames = {"low", "high"};

inline constexpr int RemoteOneBehaviour = 0;
inline constexpr int LocalBehaviour = 1;
inline constexpr int RemoteTwoBehaviour = 2;
inline constexpr int FullSpeedBehaviour = 3;
inline constexpr int DisabledBehaviour = 4;
inline constexpr int FastestLocalRemote2Behaviour = 5;
inline constexpr int FastestOfThreeBehaviour = 6;
inline constexpr int ManualBehaviour = 7;

// Field extraction.
constexpr int behaviour(Byte r5C) { return (r5C & 0xE0) >> 5; }
constexpr int frequency(Byte r5F) { return (r5F & 0x08) >> 3; }
constexpr int pulses(Byte r7B) { return r7B & 0x03; }
constexpr bool offsetCoded(Byte r7C) { return (r7C & 0x01) == 0; }

// Field insertion: the other bits come from a fresh read of the register.
constexpr Byte withBehaviour(Byte r5C, int k) { return static_cast<Byte>(((k & 0x07) << 5) | (r5C & 0x1F)); }
constexpr Byte withFrequency(Byte r5F, int k) { return static_cast<Byte>((r5F & 0xF7) | (k == 1 ? 0x08 : 0x00)); }
constexpr Byte withPulses(Byte r7B, int k) { return static_cast<Byte>((k & 0x03) | (r7B & 0xFC)); }

} // namespace RegisterMap
