// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/record_field.h"

#include <stdexcept>

void PutRecordField(std::string& record, int first, const std::string& bytes, int lowest, int highest,
                    const char* what) {
  if (first < lowest || first - 1 + static_cast<int>(bytes.size()) > highest) {
    throw std::out_of_range(std::string(what) + " field at byte " + std::to_string(first) + " of " +
                            std::to_string(bytes.size()) + " bytes lies outside the record");
  }
  record.replace(static_cast<std::size_t>(first - 1), bytes.size(), bytes);
}
