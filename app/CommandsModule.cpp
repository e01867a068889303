// The commands as a module of their own (corvane-commands), loaded only
// when the command line gives one: a window's start pays nothing for them.

#include "CommandMain.h"
#include "CommandsEntry.h"

extern "C" Q_DECL_EXPORT int corvaneCommands(const CommandRequest& request, std::ostream& out, std::ostream& err)
{
    return runCommandLine(request, out, err);
}
