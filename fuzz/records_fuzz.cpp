// Register records as the interpreters of every table of every model decode
// and check them: column layouts and report interpreters alike.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "model/tlumocnik.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  TSoubory& catalogue = FuzzCatalogue(input.Byte());
  const TSoubor* table = FuzzTable(catalogue, input.Byte());
  if (!table) return 0;
  // The download takes only records of the interpreter's length, and
  // decodes only those its check accepts.
  std::string record(input.Rest());
  record.resize(static_cast<std::size_t>(table->Interpreter->RecordLength()));
  if (table->Interpreter->CheckRecord(*table, record).empty()) table->Interpreter->DecodeRecord(record);
  return 0;
}
