#pragma once
// Handing a print document to the external print viewer: the document is
// written where the viewer can find it and the viewer is started with
// "FILE" and the document's name. The viewer is not waited for; the
// document stays in place for it.
//
// Where the document goes: "tisk.tmp" in the program folder when that folder
// is writable (the viewer gets the bare name and resolves it against its own
// folder), else "mervtisk.tmp" in the temporary folder (TEMP, then TMPDIR)
// unless that path holds a blank, else the fixed last resort; the viewer
// then gets the full path.
#include <string>
#include <vector>

struct TViewerPlaces {
  /// The program folder, ending in the platform separator.
  std::string ProgramDir;
  /// The executable's file name; its probe file is that name with ".tmp".
  std::string ExecutableName;
  /// The temporary folder from the environment; empty when unset.
  std::string TempDir;
  /// The document path used when nothing else is writable.
  std::string LastResort;

  /// The places of the running program.
  static TViewerPlaces OfThisProgram();
};

class TPrintViewer {
public:
  explicit TPrintViewer(TViewerPlaces places);

  /// Writes the document (8-bit text, CR LF line ends) and starts the
  /// viewer. Throws EKomError "VYRNAK.EXE not found" when the viewer is not
  /// in the program folder and "Cannot create TMP file" when no place for
  /// the document is writable.
  void HandOver(const std::vector<std::string>& lines) const;

  /// The document file and the name passed to the viewer; both empty when
  /// no place is writable.
  struct Target {
    std::string File;
    std::string NamePassed;
  };
  Target ChooseTarget() const;

private:
  TViewerPlaces places_;
};
