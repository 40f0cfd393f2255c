#include "tools/mervfleet/fleet_results.h"

#include <cstdio>
#include <filesystem>

#include "base/file_name.h"
#include "base/joined_text.h"
#include "base/json_text.h"
#include "tools/mervfleet/csv_fields.h"

namespace {

constexpr const char* CsvHeader = "name,line,error,meaning,attempts,seconds,files\n";
constexpr char FileSeparator = ';';

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

std::string JoinedFiles(const std::vector<std::string>& files) {
  std::string joined;
  for (const auto& file : files) {
    if (!joined.empty()) joined += FileSeparator;
    joined += file;
  }
  return joined;
}

std::string PathIn(const std::string& folder, const char* name) {
  return NameFromPath(PathFromName(folder) / PathFromName(name));
}

}  // namespace

std::string CsvRow(const TRegisterOutcome& outcome) {
  return CsvLine({outcome.Name, outcome.Line, outcome.ErrorNumber ? std::to_string(*outcome.ErrorNumber) : "",
                  outcome.Meaning, std::to_string(outcome.Attempts), SecondsText(outcome.Seconds),
                  JoinedFiles(outcome.Files)}) +
         "\n";
}

std::string JsonObject(const TRegisterOutcome& outcome) {
  std::string files = "[";
  for (const auto& file : outcome.Files) files += JoinedText({files.size() > 1 ? "," : "", JsonString(file)});
  files += "]";
  return "{\"name\":" + JsonString(outcome.Name) + ",\"line\":" + JsonString(outcome.Line) +
         ",\"error\":" + (outcome.ErrorNumber ? std::to_string(*outcome.ErrorNumber) : "null") +
         ",\"meaning\":" + JsonString(outcome.Meaning) + ",\"attempts\":" + std::to_string(outcome.Attempts) +
         ",\"seconds\":" + SecondsText(outcome.Seconds) + ",\"files\":" + files + "}";
}

TFleetResults::TFleetResults(const std::string& folder, TFleetMetrics* metrics)
    : csv_(PathIn(folder, "results.csv"), LinkRule::Replace),
      json_(PathIn(folder, "results.json"), LinkRule::Replace),
      metrics_(metrics) {
  csv_.Write(CsvHeader);
  json_.Write("[");
}

void TFleetResults::Add(const TRegisterOutcome& outcome) {
  WriteRow(outcome);
  if (metrics_ != nullptr) metrics_->Add(outcome);
}

void TFleetResults::AddNotRun(const TRegisterOutcome& outcome) { WriteRow(outcome); }

void TFleetResults::WriteRow(const TRegisterOutcome& outcome) {
  csv_.Write(CsvRow(outcome));
  json_.Write(std::string(rows_ == 0 ? "\n" : ",\n") + JsonObject(outcome));
  ++rows_;
}

void TFleetResults::Commit() {
  json_.Write(rows_ == 0 ? "]\n" : "\n]\n");
  csv_.Commit();
  json_.Commit();
  if (metrics_ != nullptr) metrics_->Commit();
}
