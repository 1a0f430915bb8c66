#include "platform/CalendarTime.h"

namespace zk {

bool UtcTime(std::time_t when, std::tm& out) { return ::gmtime_r(&when, &out) != nullptr; }

bool LocalTime(std::time_t when, std::tm& out) { return ::localtime_r(&when, &out) != nullptr; }

}  // namespace zk
