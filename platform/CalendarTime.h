#pragma once
// A moment as calendar time, in UTC or in the local time zone.
#include "platform/Api.h"

#include <ctime>

namespace zk {

// false when the moment cannot be shown (out is then left as it was).
ZK_PLATFORM_API bool UtcTime(std::time_t when, std::tm& out);
ZK_PLATFORM_API bool LocalTime(std::time_t when, std::tm& out);

}  // namespace zk
