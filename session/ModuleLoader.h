#pragma once
// The program's modules (the Trends window, the exporter) are libraries
// loaded by path relative to the program, so they cost a run nothing until
// it needs them.

#include <QFunctionPointer>
#include <QString>
#include <QStringList>

// A function of the module, or nothing with the reasons in *error. module
// is the file's name without its suffix: "corvane-trends".
QFunctionPointer resolveInModule(const char* module, const char* symbol, QString* error);
