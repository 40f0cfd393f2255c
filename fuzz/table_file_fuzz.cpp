// Table text files in both layouts and both code pages, loaded into the
// tables of every model.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <system_error>

#include "base/kom_error.h"
#include "fuzz_input.h"
#include "model/table_file.h"

namespace {

std::string FilePath() {
  static const std::string path = "/tmp/merv_table_fuzz_" + std::to_string(getpid()) + ".txt";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  const std::uint8_t choices = input.Byte();
  TSoubory& catalogue = FuzzCatalogue(input.Byte());
  TSoubor* table = FuzzTable(catalogue, input.Byte());
  if (!table) return 0;
  const int layout = (choices & 1) ? TableFileLayout::FixedWidth : TableFileLayout::Separated;
  const int codePage = (choices & 2) ? TableFileCodePage::Windows : TableFileCodePage::Register;
  {
    std::ofstream file(FilePath(), std::ios::binary | std::ios::trunc);
    file.write(input.Rest().data(), static_cast<std::streamsize>(input.Rest().size()));
  }
  TKeyLayouts keyLayouts;
  try {
    LoadTable(*table, FilePath(), codePage, keyLayouts, FirstFileColumn(*table), layout);
  } catch (const EKomError&) {
    // A line breaking the layout ends the load with error 22.
  }
  table->Rows.clear();
  std::remove(FilePath().c_str());
  return 0;
}
