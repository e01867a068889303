// serve: hands the bus to the exporter module, which serves the chip's
// readings until it is told to end.

#include "CommandSupport.h"
#include "Commands.h"
#include "exporter/ServeOptions.h"
#include "session/ModuleLoader.h"

#include <ostream>

int runServe(const CommandRequest& request, BusAdapter& bus, std::ostream& err)
{
    // A read's write phase is a command at some addresses: refused before
    // any traffic, as for read and record.
    if (const auto why = readRefusal(request.device, request.force))
        return complain(err, ExitStatus::WriteNotTaken, *why);
    QString loadError;
    const auto serve = reinterpret_cast<ServeEntry>(resolveInModule("corvane-serve", ServeEntrySymbol, &loadError));
    if (!serve)
        return complain(err, ExitStatus::BadCommandLine,
                        "the exporter module cannot be loaded: " + loadError.toStdString());
    // Past a kernel driver only with --force; without it the exporter's
    // start-up finds the driver and ends with its refusal.
    forcePastDrivers(bus, request.device, request);
    const ServeOptions options{request.listen, request.interval, request.device, request.controller};
    std::string why;
    const int status = serve(options, bus, &why);
    if (status != ExitStatus::Ok)
        return complain(err, status, why);
    return status;
}
