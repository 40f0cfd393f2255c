// The doctor's checks of a POSIX machine: the settings file, the COM
// device's mode, group and holders (/proc/<pid>/fd), the latency timer that
// USB-serial drivers show in /sys, and CUPS's printers.
#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "app/line_doctor.h"
#include "base/input_file.h"
#include "base/settings_store.h"

namespace {

constexpr std::uint64_t SmallFile = 64 * 1024;
constexpr const char* SystemSettingsFolder = "/etc/mervmodul";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

std::string GroupName(gid_t group) {
  const struct group* entry = ::getgrgid(group);
  return entry != nullptr ? entry->gr_name : std::to_string(group);
}

bool InGroup(gid_t group) {
  if (::getegid() == group) return true;
  gid_t groups[NGROUPS_MAX];
  const int count = ::getgroups(NGROUPS_MAX, groups);
  return std::find(groups, groups + std::max(count, 0), group) != groups + std::max(count, 0);
}

std::string ResolvedPath(const std::string& path) {
  std::error_code error;
  const auto resolved = std::filesystem::canonical(path, error);
  return error ? path : resolved.string();
}

// "1234 (ModemManager)" for every process that has the device open. A
// process that ends while its descriptors are read is passed over: the
// iteration stops at the first error instead of raising it.
std::vector<std::string> Holders(const std::string& device) {
  std::vector<std::string> holders;
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return holders;
  while (const dirent* process = ::readdir(processes)) {
    const std::string pid = process->d_name;
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit) || pid == std::to_string(::getpid())) continue;
    std::error_code error;
    std::filesystem::directory_iterator fd("/proc/" + pid + "/fd", error);
    for (; !error && fd != std::filesystem::directory_iterator(); fd.increment(error)) {
      std::error_code linkError;
      if (std::filesystem::read_symlink(fd->path(), linkError).string() != device) continue;
      std::string name;
      try {
        name = ReadInputFile("/proc/" + pid + "/comm", SmallFile);
      } catch (const std::system_error&) {
        name = "?";  // the process ended meanwhile
      }
      if (!name.empty() && name.back() == '\n') name.pop_back();
      holders.push_back(pid + " (" + name + ")");
      break;
    }
  }
  ::closedir(processes);
  return holders;
}

TDoctorCheck LatencyCheck(const std::string& device) {
  const std::string name = std::filesystem::path(device).filename().string();
  const std::string timer = "/sys/class/tty/" + name + "/device/latency_timer";
  std::optional<int> milliseconds;
  if (LookAtEntry(timer).kind != TFileEntry::Kind::Missing) {
    milliseconds = std::atoi(ReadInputFile(timer, SmallFile).c_str());
  }
  return LatencyTimerCheck(device, milliseconds,
                           "echo 1 > " + timer + " (a udev rule keeps it: ATTR{device/latency_timer}=\"1\")");
}

}  // namespace

TDoctorCheck SettingsStoreCheck() {
  const std::string file = SettingsFileFor(Environment("XDG_CONFIG_HOME"), Environment("HOME"), SystemSettingsFolder);
  const auto kind = LookAtEntry(file).kind;
  if (kind == TFileEntry::Kind::Missing) return {"settings", true, file + " (not there: the defaults apply)", {}};
  if (::access(file.c_str(), R_OK) != 0) {
    return {"settings", false, file + " cannot be read", "give the line's user read access to " + file};
  }
  return {"settings", true, file, {}};
}

std::vector<TDoctorCheck> ComDeviceChecks(const std::string& device) {
  const std::string resolved = ResolvedPath(device);
  struct stat status {};
  if (::stat(resolved.c_str(), &status) != 0) {
    return {{"COM device", false, device + " is missing",
             "plug in the adapter or name the device (MERV_COM<n>, [Ports] COM<n>=; mervmodul --ports)"}};
  }
  const std::string shown = device == resolved ? device : device + " -> " + resolved;
  std::vector<TDoctorCheck> checks{{"COM device", true, shown + " is present", {}}};
  const std::string group = GroupName(status.st_gid);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(status.st_mode & 0777));
  const std::string permissions = std::string("mode ") + mode + ", group " + group;
  if (::access(resolved.c_str(), R_OK | W_OK) == 0) {
    checks.push_back({"COM permissions", true, permissions + ", readable and writable", {}});
  } else {
    const std::string advice = InGroup(status.st_gid) ? "the group may not read and write it: check the mode"
                                                      : "add the line's user to group " + group + " and log in again";
    checks.push_back({"COM permissions", false, permissions + ", not readable and writable by this user", advice});
  }
  const auto holders = Holders(resolved);
  if (holders.empty()) {
    checks.push_back({"COM holder", true, "no other process holds it open", {}});
  } else {
    std::string list;
    for (const auto& holder : holders) list += (list.empty() ? "" : ", ") + holder;
    checks.push_back({"COM holder", false, "held open by " + list,
                      "end that program or take the device away from it (ModemManager: a udev rule "
                      "ENV{ID_MM_DEVICE_IGNORE}=\"1\")"});
  }
  checks.push_back(LatencyCheck(resolved));
  return checks;
}

TDoctorCheck PrinterCheck() {
  const std::string printers = "/etc/cups/printers.conf";
  if (LookAtEntry(printers).kind == TFileEntry::Kind::Missing) {
    return {"printer", false, "no CUPS printer is set up", "set up a printer in CUPS to print the viewer's documents"};
  }
  if (::access(printers.c_str(), R_OK) != 0) return {"printer", true, "CUPS is set up (" + printers + ")", {}};
  const std::string text = ReadInputFile(printers, 1 << 20);
  const auto at = text.find("<DefaultPrinter ");
  if (at != std::string::npos) {
    const auto end = text.find('>', at);
    return {"printer", true, "default " + text.substr(at + 16, end - at - 16), {}};
  }
  if (text.find("<Printer ") != std::string::npos) return {"printer", true, "CUPS printers, none the default", {}};
  return {"printer", false, "no CUPS printer is set up", "set up a printer in CUPS to print the viewer's documents"};
}
