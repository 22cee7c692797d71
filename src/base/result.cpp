#include "base/result.h"

#include <cstring>

namespace tb {

Error Error::posix(int err) {
    return Error{"POSIX", err, std::strerror(err)};
}

Error Error::posix(int err, const std::string& context) {
    return Error{"POSIX", err, context + ": " + std::strerror(err)};
}

} // namespace tb
