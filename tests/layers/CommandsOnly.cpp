// The commands as a script's run has them, linked from the commands library
// alone: what it needs at run time is what the library pulls in.

#include "app/CommandLine.h"
#include "app/CommandMain.h"

#include <QCoreApplication>
#include <iostream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const auto parsed = parseCommandLine(QCoreApplication::arguments());
    if (const auto* command = std::get_if<CommandRequest>(&parsed))
        return runCommandLine(*command, std::cout, std::cerr);
    return 2;
}
