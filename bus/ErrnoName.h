#pragma once
// A transaction's errno by its C name ("EIO"), as the kernel's I2C faults
// are known: in the exporter's labels, fault plans and logs.

#include <string>

// "EIO"; one the bus never gives as "errno 42".
std::string errnoName(int error);
