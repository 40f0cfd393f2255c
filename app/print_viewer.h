#pragma once
// Handing a print document to the external print viewer: the document is
// written where the viewer can find it and the viewer is started with
// "FILE" and the document's name. The viewer is not waited for; the
// document stays in place for it.
//
// The viewer lies beside the running executable, which is the program folder
// unless MERV_PROGRAM_DIR names another (a register line's folder).
//
// Where the document goes: "tisk.tmp" in the program folder when that folder
// is writable (the viewer gets the bare name, which it resolves against its
// own folder, or the full path when the program folder is another), else "mervtisk.tmp" in the temporary folder (TEMP, then TMPDIR)
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
  /// The viewer's folder, ending in the separator; empty: the program folder.
  std::string ViewerDir;

  /// The places of the running program.
  static TViewerPlaces OfThisProgram();
  const std::string& ViewerFolder() const;
};

class TPrintViewer {
public:
  explicit TPrintViewer(TViewerPlaces places);

  /// Writes the document (8-bit text, CR LF line ends) and starts the
  /// viewer. Throws EKomError "VYRNAK.EXE not found" when the viewer is not
  /// in its folder and "Cannot create TMP file" when no place for
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
