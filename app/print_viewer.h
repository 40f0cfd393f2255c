#pragma once
// Handing a print document to the external print viewer: the document is
// written where the viewer can find it and the viewer is started with
// "FILE" and the document's name. The viewer is not waited for; the
// document stays in place for it.
//
// Which viewer: the first of the viewer folders that holds one: the
// executable's own folder (the Windows and zip layout), then the programs
// folder of the installation (fixed at build time). Never the program folder
// named by the environment, the working directory or PATH: a line folder is
// data, writable by whoever writes the command files.
//
// Where the document goes: "tisk.tmp" in the program folder when that folder
// is writable, else "mervtisk.tmp" in the temporary folder (TEMP, then
// TMPDIR) unless that path holds a blank, else the fixed last resort. Those
// two are shared folders: there the name gets a random part before ".tmp"
// ("mervtisk3fa9c1d2e07b.tmp") and is created where nothing was. The
// viewer gets the bare name when the document lies in the viewer's own
// folder (it resolves the name against that folder), else the full path.
#include <string>
#include <vector>

struct TViewerPlaces {
  /// The program folder, ending in the platform separator.
  std::string ProgramDir;
  /// The executable's file name; its probe file is that name with ".tmp".
  std::string ExecutableName;
  /// The folders searched for the viewer, in order, each ending in the
  /// platform separator; an empty entry is skipped.
  std::vector<std::string> ViewerFolders;
  /// The temporary folder from the environment; empty when unset.
  std::string TempDir;
  /// The document path used when nothing else is writable.
  std::string LastResort;

  /// The places of the running program, whose program folder is `programFolder`.
  static TViewerPlaces OfThisProgram(const std::string& programFolder);
};

class TPrintViewer {
public:
  explicit TPrintViewer(TViewerPlaces places);

  /// Writes the document (8-bit text, CR LF line ends) and starts the
  /// viewer. Throws EKomError "VYRNAK.EXE not found" when no viewer folder
  /// holds the viewer or the viewer cannot be started, and "Cannot create
  /// TMP file" when no place for the document is writable.
  void HandOver(const std::vector<std::string>& lines) const;

  /// The full path of the viewer to start; throws as HandOver does.
  std::string FindViewer() const;

  /// The document file and the name passed to a viewer in `viewerFolder`;
  /// both empty when no place is writable. In a shared folder both are the
  /// pattern whose written name gets a random part.
  struct Target {
    std::string File;
    std::string NamePassed;
    bool Shared = false;
  };
  Target ChooseTarget(const std::string& viewerFolder) const;

private:
  TViewerPlaces places_;
};
