#include "dm/TextOutput.h"

#include <algorithm>

namespace zk::dm {
namespace {

constexpr std::size_t kOutputBuffer = std::size_t{1} << 20;

}  // namespace

TextOutput::TextOutput(ByteSink& sink) : sink_(sink), buffer_(kOutputBuffer) {}

char* TextOutput::Reserve(std::size_t n) {
  if (buffer_.size() - used_ < n && !Flush()) return nullptr;
  return Base() + used_;
}

bool TextOutput::Text(std::string_view text) {
  char* p = Reserve(text.size());
  if (p == nullptr) return false;
  Commit(std::copy(text.begin(), text.end(), p));
  return true;
}

bool TextOutput::Flush() {
  const bool ok = used_ == 0 || sink_.Write(buffer_.data(), used_);
  used_ = 0;
  return ok;
}

}  // namespace zk::dm
