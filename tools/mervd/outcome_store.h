#pragma once
// TOutcomeStore: the command records of one line, one file each in the line
// folder ("mervd-outcome.<request id>.json"), written whole or not at all
// through the file door and forced to the disk before a write returns, so
// that a record a client was answered on survives a power failure. A record
// stays for the keeping time after it was accepted, so that a repeated
// request, even after a restart of mervd, finds it and the register never
// does the work twice. A record file that cannot be read (cut short, or
// not a record) stands for a command that was interrupted: it may have run,
// so it is not run again; it was accepted when the file was last written.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "base/input_file.h"
#include "tools/mervd/command_record.h"

class TOutcomeStore {
public:
  TOutcomeStore(std::string line, std::string folder, std::chrono::hours keep);

  void Save(const TCommandRecord& record) const;

  /// The record of a request id, or none (also when it has expired). A
  /// record of another id under its file's name (a file system that does not
  /// tell case apart) is a TApiError with status 409.
  std::optional<TCommandRecord> Find(const std::string& requestId) const;

  /// Every record kept, oldest accepted first.
  std::vector<TCommandRecord> All() const;

  /// Removes the records accepted longer ago than the keeping time.
  void RemoveExpired() const;

  /// The file of a request id.
  std::string PathOf(const std::string& requestId) const;

  /// True for a name of the line folder that holds a record.
  static bool IsRecordName(const std::string& name);

private:
  bool Expired(const TCommandRecord& record) const;
  std::vector<std::string> RecordIds() const;
  /// The record in the file of a request id, expired or not; none when there is no such file.
  std::optional<TCommandRecord> Stored(const std::string& requestId) const;
  TCommandRecord ReadRecord(const std::string& requestId, const TFileEntry& entry) const;
  TCommandRecord DamagedRecord(const std::string& requestId, const TFileEntry& entry, const std::string& why) const;

  std::string line_;
  std::string folder_;
  std::chrono::hours keep_;
};
