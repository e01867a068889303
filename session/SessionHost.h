#pragma once
// What the bench session asks the user before traffic that may do harm.
// The window answers with message boxes; a test answers from a script.
// Each returns true when the user agreed.

#include "protocol/AddressGuard.h"

#include <cstdint>
#include <string>

class SessionHost {
public:
    virtual bool confirmDangerousWrite(std::uint8_t device, AddressRisk risk) = 0;
    virtual bool confirmWriteBehindDriver(std::uint8_t device, const std::string& driver) = 0;
    virtual bool confirmGuardedRead(std::uint8_t device) = 0;
    virtual bool confirmReadBehindDriver(std::uint8_t device, int controller, const std::string& driver) = 0;

protected:
    ~SessionHost() = default;
};
