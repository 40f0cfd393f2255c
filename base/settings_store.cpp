#include "base/settings_store.h"

#include <cstdio>
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
  LogLine("Nastaveni nelze precist, plati vychozi hodnoty: " + failure);

  static std::mutex toldLock;
  static std::set<std::string> told;
  const std::lock_guard lock(toldLock);
  if (!told.insert(failure).second) return;
  std::fprintf(stderr, "MERV Modul: settings not read, their defaults apply: %s\n", failure.c_str());
  std::fflush(stderr);
}
