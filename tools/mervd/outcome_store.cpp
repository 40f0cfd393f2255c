#include "tools/mervd/outcome_store.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "base/file_name.h"
#include "base/input_file.h"
#include "base/safe_output_file.h"
#include "tools/mervd/daemon_config.h"

namespace {

constexpr std::string_view RecordPrefix = "mervd-outcome.";
constexpr std::string_view RecordSuffix = ".json";
constexpr std::uint64_t MaxRecordSize = 1 << 20;

}  // namespace

TOutcomeStore::TOutcomeStore(std::string folder, std::chrono::hours keep) : folder_(std::move(folder)), keep_(keep) {}

std::string TOutcomeStore::PathOf(const std::string& requestId) const {
  if (!IsPlainName(requestId)) throw std::invalid_argument("request id " + requestId);
  return folder_ + "/" + std::string(RecordPrefix) + requestId + std::string(RecordSuffix);
}

bool TOutcomeStore::IsRecordName(const std::string& name) {
  return name.size() > RecordPrefix.size() + RecordSuffix.size() && name.rfind(RecordPrefix, 0) == 0 &&
         name.compare(name.size() - RecordSuffix.size(), RecordSuffix.size(), RecordSuffix) == 0;
}

void TOutcomeStore::Save(const TCommandRecord& record) const {
  WriteFileSafely(PathOf(record.RequestId), RecordJson(record) + "\n", LinkRule::Replace);
}

bool TOutcomeStore::Expired(const TCommandRecord& record) const {
  return record.Accepted + keep_ < TCommandRecord::Clock::now();
}

std::optional<TCommandRecord> TOutcomeStore::Find(const std::string& requestId) const {
  const std::string path = PathOf(requestId);
  if (LookAtEntry(path).kind != TFileEntry::Kind::Regular) return std::nullopt;
  TCommandRecord record = RecordFromJson(ReadInputFile(path, MaxRecordSize, InputLinks::Refuse));
  if (Expired(record)) return std::nullopt;
  return record;
}

std::vector<TCommandRecord> TOutcomeStore::All() const {
  std::vector<TCommandRecord> records;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromName(folder_), error)) {
    const std::string name = NameFromPath(entry.path().filename());
    if (!IsRecordName(name)) continue;
    const std::string id = name.substr(RecordPrefix.size(), name.size() - RecordPrefix.size() - RecordSuffix.size());
    if (!IsPlainName(id)) continue;
    try {
      if (auto record = Find(id)) records.push_back(std::move(*record));
    } catch (const std::exception&) {
      // A damaged or foreign file under a record's name answers no request;
      // it is left for a person to look at rather than removed.
      continue;
    }
  }
  if (error) throw std::system_error(error, "list " + folder_);
  std::sort(records.begin(), records.end(),
            [](const TCommandRecord& a, const TCommandRecord& b) { return a.Accepted < b.Accepted; });
  return records;
}

void TOutcomeStore::RemoveExpired() const {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromName(folder_), error)) {
    const std::string name = NameFromPath(entry.path().filename());
    if (!IsRecordName(name)) continue;
    const std::string path = folder_ + "/" + name;
    try {
      if (Expired(RecordFromJson(ReadInputFile(path, MaxRecordSize, InputLinks::Refuse)))) RemoveFileIfPresent(path);
    } catch (const std::exception&) {
      continue;  // see All()
    }
  }
}
