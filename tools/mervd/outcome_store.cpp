#include "tools/mervd/outcome_store.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "base/file_name.h"
#include "base/input_file.h"
#include "base/safe_output_file.h"
#include "tools/mervd/api_error.h"
#include "tools/mervd/daemon_config.h"

namespace {

constexpr std::string_view RecordPrefix = "mervd-outcome.";
constexpr std::string_view RecordSuffix = ".json";
constexpr std::uint64_t MaxRecordSize = 1 << 20;

TCommandRecord::Clock::time_point ModificationTime(const TFileEntry& entry) {
  return TCommandRecord::Clock::time_point(
      std::chrono::duration_cast<TCommandRecord::Clock::duration>(std::chrono::nanoseconds(entry.modifiedNs)));
}

}  // namespace

TOutcomeStore::TOutcomeStore(std::string line, std::string folder, std::chrono::hours keep)
    : line_(std::move(line)), folder_(std::move(folder)), keep_(keep) {}

std::string TOutcomeStore::PathOf(const std::string& requestId) const {
  if (!IsPlainName(requestId)) throw std::invalid_argument("request id " + requestId);
  return folder_ + "/" + std::string(RecordPrefix) + requestId + std::string(RecordSuffix);
}

bool TOutcomeStore::IsRecordName(const std::string& name) {
  return name.size() > RecordPrefix.size() + RecordSuffix.size() && name.rfind(RecordPrefix, 0) == 0 &&
         name.compare(name.size() - RecordSuffix.size(), RecordSuffix.size(), RecordSuffix) == 0;
}

void TOutcomeStore::Save(const TCommandRecord& record) const {
  WriteFileDurably(PathOf(record.RequestId), RecordJson(record) + "\n");
}

bool TOutcomeStore::Expired(const TCommandRecord& record) const {
  return record.Accepted + keep_ < TCommandRecord::Clock::now();
}

TCommandRecord TOutcomeStore::ReadRecord(const std::string& requestId, const TFileEntry& entry) const {
  const std::string path = PathOf(requestId);
  try {
    return RecordFromJson(ReadInputFile(path, MaxRecordSize, InputLinks::Refuse));
  } catch (const std::runtime_error& failure) {
    return DamagedRecord(requestId, entry, failure.what());
  }
}

TCommandRecord TOutcomeStore::DamagedRecord(const std::string& requestId, const TFileEntry& entry,
                                            const std::string& why) const {
  TCommandRecord record;
  record.RequestId = requestId;
  record.Line = line_;
  record.State = CommandState::Interrupted;
  record.Accepted = ModificationTime(entry);
  record.Message = "the record of this command cannot be read (" + why +
                   "); it is not run again (the register may have done it: check before repeating it with a new "
                   "request id)";
  return record;
}

std::optional<TCommandRecord> TOutcomeStore::Stored(const std::string& requestId) const {
  const TFileEntry entry = LookAtEntry(PathOf(requestId));
  if (entry.kind != TFileEntry::Kind::Regular) return std::nullopt;
  return ReadRecord(requestId, entry);
}

std::optional<TCommandRecord> TOutcomeStore::Find(const std::string& requestId) const {
  auto record = Stored(requestId);
  if (!record || Expired(*record)) return std::nullopt;
  if (record->RequestId != requestId) {
    throw TApiError(409, "request id " + requestId + " shares its record file with " + record->RequestId +
                             " (the file system does not tell their case apart); use another request id");
  }
  return record;
}

std::vector<std::string> TOutcomeStore::RecordIds() const {
  std::vector<std::string> ids;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromName(folder_), error)) {
    const std::string name = NameFromPath(entry.path().filename());
    if (!IsRecordName(name)) continue;
    std::string id = name.substr(RecordPrefix.size(), name.size() - RecordPrefix.size() - RecordSuffix.size());
    if (IsPlainName(id)) ids.push_back(std::move(id));
  }
  if (error) throw std::system_error(error, "list " + folder_);
  return ids;
}

std::vector<TCommandRecord> TOutcomeStore::All() const {
  std::vector<TCommandRecord> records;
  for (const auto& id : RecordIds()) {
    try {
      if (auto record = Find(id)) records.push_back(std::move(*record));
    } catch (const TApiError&) {
      continue;  // another id's record under this id's name answers no request
    }
  }
  std::sort(records.begin(), records.end(),
            [](const TCommandRecord& a, const TCommandRecord& b) { return a.Accepted < b.Accepted; });
  return records;
}

void TOutcomeStore::RemoveExpired() const {
  for (const auto& id : RecordIds()) {
    const auto record = Stored(id);
    if (record && Expired(*record)) RemoveFileIfPresent(PathOf(id));
  }
}
