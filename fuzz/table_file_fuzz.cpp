// Table text files in both layouts and both code pages, loaded into the
// tables of every model.
#include <cstdint>

#include "base/kom_error.h"
#include "fuzz_input.h"
#include "model/table_file.h"

namespace {

const TFuzzScratchFile TableFile("merv_table_fuzz");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  const std::uint8_t choices = input.Byte();
  TSoubory& catalogue = FuzzCatalogue(input.Byte());
  TSoubor* table = FuzzTable(catalogue, input.Byte());
  if (!table) return 0;
  const int layout = (choices & 1) ? TableFileLayout::FixedWidth : TableFileLayout::Separated;
  const int codePage = (choices & 2) ? TableFileCodePage::Windows : TableFileCodePage::Register;
  const std::string& path = TableFile.Hold(input.Rest());
  TKeyLayouts keyLayouts;
  try {
    LoadTable(*table, path, codePage, keyLayouts, FirstFileColumn(*table), layout);
  } catch (const EKomError&) {
    // A line breaking the layout ends the load with error 22.
  }
  table->Rows.clear();
  return 0;
}
