#pragma once
// The program's modal questions and warnings. They are real message boxes,
// keyboard-usable, so tests answer them the way a user does.

#include <QWidget>
#include "protocol/AddressGuard.h"

#include <cstdint>
#include <string>

// "Invalid Value", with one OK button; what is wrong below it, where given.
void showInvalidValue(QWidget* parent, const QString& why = {});

// Asks before a write to an address where a stray byte can do lasting
// harm, naming what the address is. No is the default and what Escape
// answers.
bool confirmDangerousWrite(QWidget* parent, std::uint8_t device, AddressRisk risk);

// Asks before reading an address where a read's write phase is a command,
// naming what the address is. No is the default.
bool confirmGuardedRead(QWidget* parent, std::uint8_t device);

// Asks before the first write of a run behind a kernel driver's back. No is
// the default.
bool confirmWriteBehindDriver(QWidget* parent, std::uint8_t device, const std::string& driver);

// Asks before the first read of a run behind a kernel driver's back, on
// controller (0 or 1). No is the default.
bool confirmReadBehindDriver(QWidget* parent, std::uint8_t device, int controller, const std::string& driver);

// Quitting now would end a recording or a fan test: quit anyway? No is
// the default.
bool confirmQuit(QWidget* parent, bool recording, bool fanTest);

// A found address that is probably not the chip: point the main window's
// poll at it? No is the default.
bool confirmWatchOtherDevice(QWidget* parent, std::uint8_t device, const QString& probably);

// The file to record to exists: replace it? No is the default.
bool confirmReplaceFile(QWidget* parent, const QString& path);

// Recording could not start, and why.
void showCannotRecord(QWidget* parent, const QString& why);

// The snapshot names another device than the one the grid shows: restore
// it all the same? No is the default.
bool confirmRestoreOtherDevice(QWidget* parent, const QString& why);

// Asks once before a restore, listing the writes. No is the default.
bool confirmRestore(QWidget* parent, std::uint8_t device, const QStringList& writes);

// A window could not be opened, and why.
void showCannotOpen(QWidget* parent, const QString& why);

// The PC's SMBus cannot be used, for the reason given: offers the simulated
// chip instead (Yes) or quitting (No).
bool askToRunSimulated(QWidget* parent, const QString& reason);
