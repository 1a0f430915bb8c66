#pragma once
// The flash banks of a module description, as the pages use them.
#include "common/ModuleBanks.h"

namespace zk::gui {

using zk::BankCount;
using zk::BankEnd;
using zk::BankMode;
using zk::BankModeText;
using zk::BankStart;
using zk::BankStartText;
using zk::kMaxBanks;

}  // namespace zk::gui
