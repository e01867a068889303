#pragma once
// The guest's checks print one line each, PASS or FAIL, and count the
// failures for the verdict the host reads from the serial console.

#include <cstdio>
#include <string>

class Checks {
public:
    void operator()(bool ok, const std::string& what, const std::string& detail = {})
    {
        std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
        std::fflush(stdout);
        failures_ += ok ? 0 : 1;
    }
    int failures() const { return failures_; }

private:
    int failures_ = 0;
};
