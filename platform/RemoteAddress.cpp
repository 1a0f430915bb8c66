#include "platform/RemotePort.h"

#include <charconv>

namespace zk::com {

bool IsRemoteMapping(std::string_view mapping) { return mapping.substr(0, kRemotePrefix.size()) == kRemotePrefix; }

std::optional<RemoteAddress> ParseRemotePort(std::string_view mapping) {
  if (!IsRemoteMapping(mapping)) return std::nullopt;
  const std::string_view rest = mapping.substr(kRemotePrefix.size());
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  std::string_view host = rest.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::string_view digits = rest.substr(colon + 1);
  unsigned port = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
    return std::nullopt;
  }
  return RemoteAddress{std::string(host), static_cast<uint16_t>(port)};
}

}  // namespace zk::com
