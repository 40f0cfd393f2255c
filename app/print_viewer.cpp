#include "app/print_viewer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/file_name.h"
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
// beside it and removed again; nothing under the name itself is touched (a
// link planted there does not divert the document).
bool CanCreate(const std::string& path) {
  try {
    TSafeOutputFile probe(path, LinkRule::Replace);
    probe.Discard();
    return true;
  } catch (const std::system_error&) {
    return false;  // the document goes to the temporary folder instead
  }
}

std::string ProbeNameOf(const std::string& executableName) {
  return NameFromPath(PathFromName(executableName).replace_extension(".tmp"));
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value).substr(0, MaxTempLength);
}

std::string DocumentText(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// Written beside its final name and renamed over it when complete. In the
// program folder a link or FIFO under the name is replaced, never followed;
// in a shared folder (the temporary folder, the last resort), whose names
// anyone may plant, the name gets a random part and is taken only where
// nothing was. Returns the document's path.
std::string WriteDocument(const TPrintViewer::Target& target, const std::vector<std::string>& lines) {
  const std::string text = DocumentText(lines);
  try {
    if (!target.Shared) {
      WriteFileSafely(target.File, text, LinkRule::Replace);
      return target.File;
    }
    const auto extension = target.File.rfind('.');
    return WriteNewFileUniquely(target.File.substr(0, extension), target.File.substr(extension), text);
  } catch (const std::system_error& failure) {
    LogLine("Tiskovy dokument " + target.File + " nelze zapsat: " + failure.what());
    throw EKomError::Unnumbered("Cannot create TMP file");
  }
}

bool SameFolder(const std::string& one, const std::string& other) {
  if (one == other) return true;
  std::error_code error;
  return std::filesystem::equivalent(PathFromName(one), PathFromName(other), error) && !error;
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

TViewerPlaces TViewerPlaces::OfThisProgram(const std::string& programFolder) {
  std::string temp = EnvironmentValue("TEMP");
  if (temp.empty()) temp = EnvironmentValue("TMPDIR");
  const std::string executable = ExecutablePath();
  return {programFolder,
          NameFromPath(PathFromName(executable).filename()),
          {DirectoryOfExecutable(executable), InstalledViewerFolder()},
          temp,
          LastResortDocument};
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
  if (CanCreate(path)) return {path, path, true};
  if (path != places_.LastResort && CanCreate(places_.LastResort)) {
    return {places_.LastResort, places_.LastResort, true};
  }
  return {};
}

std::string TPrintViewer::FindViewer() const {
  for (const auto& folder : places_.ViewerFolders) {
    if (folder.empty()) continue;
    const std::string viewer = folder + ViewerFileName();
    std::error_code error;
    if (std::filesystem::is_regular_file(PathFromName(viewer), error)) return viewer;
  }
  throw EKomError::Unnumbered("VYRNAK.EXE not found");
}

void TPrintViewer::HandOver(const std::vector<std::string>& lines) const {
  const std::string viewer = FindViewer();
  const Target target = ChooseTarget(DirectoryOfExecutable(viewer));
  if (target.File.empty()) throw EKomError::Unnumbered("Cannot create TMP file");
  const std::string written = WriteDocument(target, lines);
  const std::string namePassed = target.Shared ? written : target.NamePassed;
  LogLine("Spoustim prohlizec tisku: " + namePassed);
  // The viewer is not waited for, but a viewer that cannot be started at
  // all (not executable, not a program) counts as not found.
  if (!StartDetached({{viewer, "FILE", namePassed}, false, true})) {
    LogLine("Prohlizec tisku se nepodarilo spustit");
    throw EKomError::Unnumbered("VYRNAK.EXE not found");
  }
}
