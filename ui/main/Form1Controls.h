#pragma once
// Every control of the main window, placed at its fixed position. The
// window has no layout logic: resizing it moves nothing.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

struct Form1Controls {
    QGroupBox* Frame1 = nullptr; // "Corvane Readings"
    QGroupBox* Frame2 = nullptr; // "PWM1 Settings"
    QGroupBox* Frame3 = nullptr; // "Read/Write"

    // Readings. lblTemp: Remote1, Local, Remote2; lblFanSpeed: Fan1..Fan4.
    std::array<QLabel*, 3> Label2{};
    std::array<QLabel*, 3> lblTemp{};
    std::array<QLabel*, 6> Label1{};
    std::array<QLabel*, 4> lblFanSpeed{};
    QLabel* lblVcc = nullptr;
    QLabel* lblVccp = nullptr;

    // PWM1 settings.
    QLabel* Label3 = nullptr;
    QComboBox* cmbPWM1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblDutyCycle = nullptr;
    QLineEdit* txtDutyCycle = nullptr;
    QPushButton* cmdWriteDuty = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cmbHF = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cmbPulses = nullptr;

    // Register panel and controller choice.
    QLabel* Label7 = nullptr;
    QLineEdit* txtDevAddr = nullptr;
    QRadioButton* optController1 = nullptr;
    QRadioButton* optController2 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtAddrPtr = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* txtDataOut = nullptr;
    QPushButton* cmdWrite = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* lblReadData = nullptr;
    QPushButton* cmdRead = nullptr;
};

// Creates the controls as children of form, sizes form's client area and
// sets the keyboard tab order.
Form1Controls buildForm1Controls(QWidget& form);

// The designed window's font, for what sits around it too (the menu bar and
// the status line): one family at start rather than two saves a font's
// glyph and shaping tables, a tenth of a megabyte.
QFont designedFont();
