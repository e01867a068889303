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
