#include "base/settings_store.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <set>

#include "base/communication_log.h"

void ReportUnreadableSettings(const std::string& failure) {
  // The log's own reading of a setting must not report into itself again.
  thread_local bool reporting = false;
  if (reporting) return;
  reporting = true;
  struct EndOfReport {
    ~EndOfReport() { reporting = false; }
  } endOfReport;
  try {
    LogLine("Nastaveni nelze precist, plati vychozi hodnoty: " + failure);
  } catch (const std::exception& logFailure) {
    // Settings are read where nothing expects a failure of the log (before a
    // command, between commands): it is told here and the report goes on.
    std::fprintf(stderr, "MERV Modul: log: %s\n", logFailure.what());
  }

  static std::mutex toldLock;
  static std::set<std::string> told;
  const std::lock_guard lock(toldLock);
  if (!told.insert(failure).second) return;
  std::fprintf(stderr, "MERV Modul: settings not read, their defaults apply: %s\n", failure.c_str());
  std::fflush(stderr);
}
