#pragma once
// TOutcomeStore: the command records of one line, one file each in the line
// folder ("mervd-outcome.<request id>.json"), written whole or not at all
// through the file door. A record stays for the keeping time after it was
// accepted, so that a repeated request, even after a restart of mervd,
// finds it and the register never does the work twice.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tools/mervd/command_record.h"

class TOutcomeStore {
public:
  TOutcomeStore(std::string folder, std::chrono::hours keep);

  void Save(const TCommandRecord& record) const;

  /// The record of a request id, or none (also when it has expired).
  std::optional<TCommandRecord> Find(const std::string& requestId) const;

  /// Every record kept, oldest accepted first; a file that is no record is skipped.
  std::vector<TCommandRecord> All() const;

  /// Removes the records accepted longer ago than the keeping time.
  void RemoveExpired() const;

  /// The file of a request id.
  std::string PathOf(const std::string& requestId) const;

  /// True for a name of the line folder that holds a record.
  static bool IsRecordName(const std::string& name);

private:
  bool Expired(const TCommandRecord& record) const;

  std::string folder_;
  std::chrono::hours keep_;
};
