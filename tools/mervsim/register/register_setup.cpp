// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#include "tools/mervsim/register/register_setup.h"

#include "protocol/link_bytes.h"
#include "tools/mervsim/line/wire_log.h"

void FillRegisterData(TRegisterData& data, const TSimOptions& options) {
  data.FillDemoTables(options.PluCount);
  if (!options.DataDir.empty()) data.LoadFolder(options.DataDir);
  data.FillDemoSales();
  for (const auto& sale : options.Sales) {
    std::vector<std::pair<std::int64_t, std::int64_t>> items;
    for (const auto& item : sale.Items) items.emplace_back(item.Code, item.Quantity);
    data.Sell(items);
  }
}

TEmulatorSettings EmulatorSettings(const TSimOptions& options, const TSoubory& catalogue) {
  TEmulatorSettings settings;
  const TLinkBytes bytes = LinkBytesOf(catalogue.CmFamily, catalogue.CommandLineMode);
  settings.Enq = bytes.Enq;
  settings.Dtx = bytes.Dtx;
  settings.Drq = bytes.Drq;
  settings.ModelCode =
      static_cast<std::uint8_t>(options.ModelCode.value_or(DefaultModelCode(options.ModelName, catalogue.CmFamily)));
  settings.KeyStatus = options.KeyStatus;
  return settings;
}

std::string DescribeRegister(const TSimOptions& options, const TEmulatorSettings& settings, const TRegisterData& data) {
  const TSoubor* plu = data.Catalogue().Table(3);
  return options.ModelName + ", model code " + std::to_string(settings.ModelCode) + ", key status " +
         TWireLog::Hex(std::string(1, static_cast<char>(settings.KeyStatus))) + "h, " +
         std::to_string(plu != nullptr ? plu->Rows.size() : 0) + " PLU, " +
         std::to_string(data.Ledger().Receipts().size()) + " receipts";
}
