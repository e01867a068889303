#pragma once
// What "read" and "pwm" print: the window's texts, a caption and its value
// a line, or one JSON object whose keys are kept as an interface.

#include "chip/RegisterMap.h"
#include "protocol/CorvaneProtocol.h"

#include <QJsonObject>
#include <string>

// Which bus and device a report is about.
struct ReportOrigin {
    int controller = 1; // 0 or 1
    std::string controllerName;
    std::uint8_t device = RegisterMap::DefaultDeviceAddress;
};

// "PWM1 Control Manual Mode" and the frequency, pulses and duty lines; a
// duty whose read failed says dutyNotRead.
std::string settingsText(const ChipSettings& settings, std::string_view dutyNotRead = "not read");
// "Local  39 °C", a line per reading in the window's order, then the settings.
std::string readingsText(const PollResult& poll, const ChipSettings& settings);

// "device", "bus", "controller", and behaviour, frequency, pulses, duty_pct.
QJsonObject settingsJson(const ReportOrigin& origin, const ChipSettings& settings);
// The settings' keys, the time, and a key per reading (local_c, fan1_rpm, …),
// null where its read failed.
QJsonObject readingsJson(const ReportOrigin& origin, const PollResult& poll, const ChipSettings& settings);

std::string jsonText(const QJsonObject& object);
