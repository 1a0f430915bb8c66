#include "runner/ScriptReader.h"

#include "platform/OpenFile.h"

namespace zk::runner {

bool ScriptReader::Open(const std::string& path) {
  file_.reset(files::OpenForReading(path));
  lineNumber_ = 0;
  return file_ != nullptr;
}

ScriptReader::Next ScriptReader::Read(std::string* line) {
  line->clear();
  if (!file_) return Next::kEnd;
  bool sawAny = false;
  bool tooLong = false;
  for (;;) {
    const int c = std::fgetc(file_.get());
    if (c == EOF) {
      if (std::ferror(file_.get())) return Next::kReadError;
      if (!sawAny) return Next::kEnd;
      break;
    }
    sawAny = true;
    if (c == '\n') break;
    // One character more than the limit is kept, so that a carriage return
    // just past it can still be removed.
    if (line->size() <= kMaxLineLength) {
      line->push_back(static_cast<char>(c));
    } else {
      tooLong = true;
    }
  }
  ++lineNumber_;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  if (tooLong || line->size() > kMaxLineLength) {
    line->clear();
    return Next::kTooLong;
  }
  return Next::kLine;
}

}  // namespace zk::runner
