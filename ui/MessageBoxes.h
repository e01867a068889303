#pragma once
// The program's modal questions and warnings. They are real message boxes,
// keyboard-usable, so tests answer them the way a user does.

#include <QWidget>
#include <cstdint>

// "Invalid Value", with one OK button.
void showInvalidValue(QWidget* parent);

// Asks before a write to an address where memory modules keep their
// configuration EEPROM. No is the default and what Escape answers.
bool confirmEepromWrite(QWidget* parent, std::uint8_t device);

// The PC's SMBus cannot be used, for the reason given: offers the simulated
// chip instead (Yes) or quitting (No).
bool askToRunSimulated(QWidget* parent, const QString& reason);
