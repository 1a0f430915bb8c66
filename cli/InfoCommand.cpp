// zelkor info: the banks, the flash chips and the sector table of a module.
#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/ModuleConnection.h"

#include <cstdio>
#include <vector>

namespace zk::cli {
namespace {

// The states of one sector: "protected" where an area protects it, then
// "no access", or its blank state asked of the module.
std::vector<std::string> SectorStates(ModuleConnection& connection, const client::SectorRow& row) {
  std::vector<std::string> states;
  if (row.isProtected) states.push_back("protected");
  if (row.noAccess) {
    states.push_back("no access");
    return states;
  }
  std::vector<SectorStatusEntry> entries;
  const client::FlowResult result = connection.Flow().SectorStatus({row.bank, row.start, row.end}, &entries);
  std::string state = "unknown";
  if (result.Done() && !entries.empty()) {
    const ResultCode status = entries.front().status;
    state = status == kBlank ? "blank" : status == kNotBlank ? "used" : ResultMessage(status);
  }
  states.push_back(state);
  return states;
}

std::string Joined(const std::vector<std::string>& states) {
  std::string text;
  for (const std::string& state : states) text += (text.empty() ? "" : ", ") + state;
  return text;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", value);
  return text;
}

// The bank and address range of a bank or sector event.
JsonObject& AddSpan(JsonObject& event, int bank, uint32_t start, uint32_t end) {
  return event.Add("bank", static_cast<int64_t>(bank))
      .Add("start", static_cast<int64_t>(start))
      .Add("end", static_cast<int64_t>(end));
}

}  // namespace

int RunInfo(const Options& options, Reporter& reporter) {
  ModuleConnection connection(options, reporter);
  if (const ExitCode code = connection.Connect(); code != ExitCode::kDone) return connection.Finish(code);
  GeneralInfos general{};
  connection.Dm().GetGeneralInfos(&general);
  general.moduleName[kGeneralInfoTextSize - 1] = '\0';
  general.microcontroller[kGeneralInfoTextSize - 1] = '\0';
  const client::FlashTable& table = connection.Flow().Table();
  for (const client::BankRow& bank : table.banks) {
    if (bank.layoutCode != kOk) {
      return connection.Finish(connection.Fail("sector layout of bank " + std::to_string(bank.bank), bank.layoutCode));
    }
  }
  const bool json = reporter.Json();
  if (json) {
    reporter.Event(JsonObject()
                       .Add("event", "module")
                       .Add("module", options.module)
                       .Add("name", general.moduleName)
                       .Add("microcontroller", general.microcontroller)
                       .Add("port", connection.PortText()));
  } else {
    std::printf("Module     %s (%s)\nPort       %s\n", general.moduleName, general.microcontroller,
                connection.PortText().c_str());
  }
  for (const client::BankRow& bank : table.banks) {
    if (json) {
      JsonObject event;
      AddSpan(event.Add("event", "bank"), bank.bank, bank.start, bank.end)
          .Add("flashId", static_cast<int64_t>(bank.flashId))
          .Add("flashSizeKiB", static_cast<int64_t>(bank.flashSize));
      reporter.Event(event);
    } else {
      std::printf("Bank %-5d %s-%s  flash chip id 0x%04X, %u KB\n", bank.bank, Hex(bank.start).c_str(),
                  Hex(bank.end).c_str(), bank.flashId, bank.flashSize);
    }
  }
  if (!json) std::printf("\nSector  Bank  Start     End       Size     State\n");
  for (const client::SectorRow& row : table.sectors) {
    const std::vector<std::string> states = SectorStates(connection, row);
    if (CancelRequested()) break;
    if (json) {
      JsonObject event;
      AddSpan(event.Add("event", "sector").Add("sector", static_cast<int64_t>(row.number)), row.bank, row.start,
              row.end)
          .Add("sizeBytes", static_cast<int64_t>(row.end) - row.start + 1)
          .Add("state", states);
      reporter.Event(event);
    } else {
      std::printf("%6u  %4d  %s  %s  %4u KB  %s\n", row.number, row.bank, Hex(row.start).c_str(), Hex(row.end).c_str(),
                  static_cast<unsigned>((uint64_t{row.end} - row.start + 1) / 1024), Joined(states).c_str());
    }
  }
  std::fflush(stdout);
  if (CancelRequested()) return connection.Finish(connection.Fail("sector status", kOk));
  return connection.Finish(ExitCode::kDone);
}

}  // namespace zk::cli
