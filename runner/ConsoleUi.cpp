#include "runner/ConsoleUi.h"

#include "platform/Console.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "platform/Signals.h"
#include "runner/ScriptRunner.h"

#include <atomic>
#include <string>

namespace zk::runner {
namespace {

constexpr uint32_t kFullProgress = 100;
constexpr int kBarWidth = 30;
constexpr std::string_view kRefusal = "Cancel is disabled; Ctrl-C again ends the program";
// The refusal the handler prints itself while no waiting loop runs: the
// program may then sit in a library call that nothing interrupts.
constexpr char kRefusalLine[] = "Quillrun: Cancel is disabled; Ctrl-C again ends the program\n";

// Shared with the signal handler.
std::atomic<int> gInterrupts{0};         // Ctrl-C since the current wait began or ended
std::atomic<bool> gEndRequested{false};  // a second Ctrl-C: the run ends when it safely can
std::atomic<bool> gWaiting{false};       // a waiting loop answers Ctrl-C itself
std::atomic<bool> gMidLine{false};       // a progress bar lacks its line end
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Never ends the program here: the running library call returns first, so
// that the run can end cleanly (a stop at the worker's next check point, a
// disconnect when connected). SIGTERM and SIGHUP end the run as a second
// Ctrl-C does: nobody is there to press it.
void OnStopSignal(StopSignal signal) {
  if (signal != StopSignal::kInterrupt) {
    gEndRequested.store(true);
    return;
  }
  const int count = gInterrupts.fetch_add(1) + 1;
  if (count >= 2) gEndRequested.store(true);
  if (gWaiting.load() || count != 1) return;
  if (gMidLine.load()) WriteStandardError("\n");
  WriteStandardError(std::string_view(kRefusalLine, sizeof kRefusalLine - 1));
}

}  // namespace

// The libraries' message boxes, printed like the runner's own messages.
class ConsoleUi::LibraryMessages : public MessageBoxHandler {
 public:
  explicit LibraryMessages(ConsoleUi& ui) : ui_(ui) {}
  int Show(std::string_view text, std::string_view caption, uint32_t type) override {
    ui_.ShowResult(text, caption);
    return DefaultMessageBoxAnswer(type);
  }

 private:
  ConsoleUi& ui_;
};

ConsoleUi::ConsoleUi(std::FILE* out, std::FILE* in)
    : out_(out), in_(in), outIsTerminal_(IsTerminal(out)), inIsTerminal_(IsTerminal(in)) {}

ConsoleUi::~ConsoleUi() {
  if (!libraryMessages_) return;
  SetMessageBoxHandler(nullptr, false);
  RestoreStopSignals();
}

void ConsoleUi::Install() {
  libraryMessages_ = std::make_unique<LibraryMessages>(*this);
  // A worker's message waits until this thread prints it, between two polls,
  // so that it never tears the progress line.
  SetMessageBoxHandler(libraryMessages_.get(), true);
  gInterrupts.store(0);
  gEndRequested.store(false);
  InstallStopSignals(OnStopSignal);
}

void ConsoleUi::PrintLine(std::string_view text) {
  EndProgressLine();
  std::string line(kProgramName);
  line.append(": ").append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void ConsoleUi::ShowMessage(std::string_view text, MessageKind kind) {
  if (kind != MessageKind::kScript || !inIsTerminal_) {
    PrintLine(text);
    return;
  }
  EndProgressLine();
  std::fprintf(out_, "%s: %.*s [Enter] ", kProgramName.data(), static_cast<int>(text.size()), text.data());
  std::fflush(out_);
  for (int c = std::fgetc(in_); c != EOF && c != '\n'; c = std::fgetc(in_)) {
  }
}

void ConsoleUi::ShowResult(std::string_view text, std::string_view caption) {
  PrintLine(caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text));
}

void ConsoleUi::OpenStatus(std::string_view caption, bool) {
  statusOpen_ = true;
  caption_ = std::string(caption);
  percent_ = 0;
  if (outIsTerminal_) {
    DrawProgress(0);
  } else {
    PrintLine(caption_);
  }
}

void ConsoleUi::CloseStatus(bool succeeded) {
  if (!statusOpen_) return;
  if (succeeded) ShowProgress(kFullProgress);
  EndProgressLine();
  statusOpen_ = false;
}

void ConsoleUi::ShowProgress(uint32_t percent) {
  if (!statusOpen_ || percent == percent_) return;
  percent_ = percent;
  if (outIsTerminal_) {
    DrawProgress(percent);
  } else {
    PrintLine(caption_ + " " + std::to_string(percent) + "%");
  }
}

void ConsoleUi::DrawProgress(uint32_t percent) {
  const int filled = static_cast<int>(percent * kBarWidth / kFullProgress);
  const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
  std::fprintf(out_, "\r%s: %s [%s] %3u%%", kProgramName.data(), caption_.c_str(), bar.c_str(), percent);
  std::fflush(out_);
  progressDrawn_ = true;
  gMidLine.store(true);
}

void ConsoleUi::EndProgressLine() {
  if (!progressDrawn_) return;
  std::fputc('\n', out_);
  std::fflush(out_);
  progressDrawn_ = false;
  gMidLine.store(false);
}

void ConsoleUi::BeginWait(bool cancellable) {
  cancellable_ = cancellable;
  stopTaken_ = false;
  refusalShown_ = false;
  gInterrupts.store(0);
  gWaiting.store(true);
}

void ConsoleUi::EndWait() {
  gWaiting.store(false);
  gInterrupts.store(0);
}

bool ConsoleUi::EndRequested() const { return gEndRequested.load(); }

bool ConsoleUi::PumpOneEvent(client::EventFilter) {
  if (!cancellable_ && !refusalShown_ && gInterrupts.load() > 0) {
    refusalShown_ = true;
    PrintLine(kRefusal);
  }
  return false;
}

// A first Ctrl-C stops an operation that may be cancelled; a second one
// stops any, at the worker's next check point.
bool ConsoleUi::TakeStopRequest() {
  if (stopTaken_) return false;
  if (!gEndRequested.load() && !(cancellable_ && gInterrupts.load() > 0)) return false;
  stopTaken_ = true;
  return true;
}

void ConsoleUi::WaitForEvent(uint32_t milliseconds) { WaitForThreadMessage(milliseconds); }

}  // namespace zk::runner
