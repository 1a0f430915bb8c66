#pragma once
// A message-box handler for one scope: records every box the libraries show
// (text and type), answers OK, and restores the console behaviour when the
// scope ends.
#include "platform/MessageBox.h"

#include <string>
#include <string_view>
#include <vector>

namespace zk::test {

class MessageBoxRecorder : public MessageBoxHandler {
 public:
  MessageBoxRecorder() { SetMessageBoxHandler(this, false); }
  ~MessageBoxRecorder() override { SetMessageBoxHandler(nullptr, false); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  int Show(std::string_view text, std::string_view, uint32_t type) override {
    texts.emplace_back(text);
    types.push_back(type);
    return IDOK;
  }

  std::vector<std::string> texts;
  std::vector<uint32_t> types;
};

}  // namespace zk::test
