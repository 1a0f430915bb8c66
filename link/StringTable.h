#pragma once
// The link driver's user texts by resource id, in both languages (German
// ids 20000 up, English 21000 up).
#include <string_view>

namespace zk::link {

enum StringId : unsigned {
  kIdsRs232Error = 6000,
  kIdsDllsMissing = 6001,
  kIdsNetInitFailed = 6002,
  kIdsSelectNodeCaption = 6100,
  kIdsSelectNodeText = 6101,
};

// The text of a mapped id; empty when there is none.
std::string_view LinkString(unsigned mappedId);

}  // namespace zk::link
