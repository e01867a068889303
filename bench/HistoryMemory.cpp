// What 24 hours of history cost in resident memory: the process's growth
// while a day of polls from the simulated chip goes into a history.
//
//   history-memory      prints "HOURS POLLS KB_GROWTH"

#include "HistoryFill.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

} // namespace

int main()
{
    const long before = residentKb();
    History history;
    fillHistory(history, std::chrono::system_clock::now() - std::chrono::hours(24), std::chrono::hours(24));
    const long after = residentKb();
    std::printf("24 %zu %ld\n", history.polls(), after - before);
    return 0;
}
