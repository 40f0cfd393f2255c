#include "app/print_viewer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/detached_start.h"
#include "base/kom_error.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "app/viewer_launch.h"
#include "base/communication_log.h"

namespace {

constexpr const char* ProgramFolderDocument = "tisk.tmp";
constexpr const char* TemporaryDocument = "mervtisk.tmp";
constexpr std::size_t MaxTempLength = 255;

#ifdef _WIN32
constexpr const char* LastResortDocument = "C:\\mervtisk.tmp";
#else
constexpr const char* LastResortDocument = "/tmp/mervtisk.tmp";
#endif

// Whether a file can be written at `path`: a temporary file is created
// beside it and removed again; nothing under the name itself is touched.
bool CanCreate(const std::string& path) {
  try {
    TSafeOutputFile probe(path, LinkRule::Refuse);
    probe.Discard();
    return true;
  } catch (const std::system_error&) {
    return false;  // the document goes to the temporary folder instead
  }
}

std::string ProbeNameOf(const std::string& executableName) {
  return std::filesystem::path(executableName).replace_extension(".tmp").string();
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value).substr(0, MaxTempLength);
}

// Written beside its final name and renamed over it when complete; a link
// under the name (planted in a shared temporary folder) is refused.
void WriteDocument(const std::string& path, const std::vector<std::string>& lines) {
  std::unique_ptr<TSafeOutputFile> file;
  try {
    file = std::make_unique<TSafeOutputFile>(path, LinkRule::Refuse);
  } catch (const std::system_error&) {
    throw EKomError("Cannot create TMP file");
  }
  try {
    for (const auto& line : lines) {
      file->Write(line);
      file->Write("\r\n");
    }
    file->Commit();
  } catch (const std::system_error& failure) {
    throw std::runtime_error("cannot write the print document " + path + ": " + failure.what());
  }
}

bool SameFolder(const std::string& one, const std::string& other) {
  if (one == other) return true;
  std::error_code error;
  return std::filesystem::equivalent(one, other, error) && !error;
}

// The programs folder of the installation; the build defines it on
// platforms whose packages install the viewer apart from the module.
std::string InstalledViewerFolder() {
#ifdef MERV_INSTALLED_BINDIR
  return std::string(MERV_INSTALLED_BINDIR) + PathSeparator();
#else
  return {};
#endif
}

}  // namespace

TViewerPlaces TViewerPlaces::OfThisProgram() {
  std::string temp = EnvironmentValue("TEMP");
  if (temp.empty()) temp = EnvironmentValue("TMPDIR");
  const std::string executable = ExecutablePath();
  return {::ProgramDir, std::filesystem::path(executable).filename().string(),
          {DirectoryOfExecutable(executable), InstalledViewerFolder()}, temp, LastResortDocument};
}

TPrintViewer::TPrintViewer(TViewerPlaces places) : places_(std::move(places)) {}

TPrintViewer::Target TPrintViewer::ChooseTarget(const std::string& viewerFolder) const {
  if (CanCreate(places_.ProgramDir + ProbeNameOf(places_.ExecutableName))) {
    const std::string file = places_.ProgramDir + ProgramFolderDocument;
    return {file, SameFolder(viewerFolder, places_.ProgramDir) ? ProgramFolderDocument : file};
  }
  std::string path = places_.TempDir;
  if (!path.empty() && path.back() != PathSeparator()) path += PathSeparator();
  path += TemporaryDocument;
  if (places_.TempDir.empty() || path.find(' ') != std::string::npos) path = places_.LastResort;
  if (CanCreate(path)) return {path, path};
  if (path != places_.LastResort && CanCreate(places_.LastResort)) return {places_.LastResort, places_.LastResort};
  return {};
}

std::string TPrintViewer::FindViewer() const {
  for (const auto& folder : places_.ViewerFolders) {
    if (folder.empty()) continue;
    const std::string viewer = folder + ViewerFileName();
    std::error_code error;
    if (std::filesystem::is_regular_file(viewer, error)) return viewer;
  }
  throw EKomError("VYRNAK.EXE not found");
}

void TPrintViewer::HandOver(const std::vector<std::string>& lines) const {
  const std::string viewer = FindViewer();
  const Target target = ChooseTarget(DirectoryOfExecutable(viewer));
  if (target.File.empty()) throw EKomError("Cannot create TMP file");
  WriteDocument(target.File, lines);
  LogLine("Spoustim prohlizec tisku: " + target.NamePassed);
  // The viewer is not waited for, but a viewer that cannot be started at
  // all (not executable, not a program) counts as not found.
  if (!StartDetached({{viewer, "FILE", target.NamePassed}, false, true})) {
    LogLine("Prohlizec tisku se nepodarilo spustit");
    throw EKomError("VYRNAK.EXE not found");
  }
}
