#include "platform/CalendarTime.h"

namespace zk {

bool UtcTime(std::time_t when, std::tm& out) { return ::gmtime_s(&out, &when) == 0; }

bool LocalTime(std::time_t when, std::tm& out) { return ::localtime_s(&out, &when) == 0; }

}  // namespace zk
