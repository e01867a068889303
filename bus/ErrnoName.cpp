#include "ErrnoName.h"

#include <cerrno>

std::string errnoName(int error)
{
    // The kernel's I2C faults and what a bus thread may see; the rest by
    // number, which is still a label a query can match.
    switch (error) {
    case ENXIO: return "ENXIO";
    case ENODEV: return "ENODEV";
    case EREMOTEIO: return "EREMOTEIO";
    case EIO: return "EIO";
    case ETIMEDOUT: return "ETIMEDOUT";
    case EAGAIN: return "EAGAIN";
    case EBUSY: return "EBUSY";
    case EPROTO: return "EPROTO";
    case EBADMSG: return "EBADMSG";
    case EOPNOTSUPP: return "EOPNOTSUPP";
    case EACCES: return "EACCES";
    case EPERM: return "EPERM";
    case EINVAL: return "EINVAL";
    case ECANCELED: return "ECANCELED";
    default: return "errno " + std::to_string(error);
    }
}
