// vyrnak: the print viewer of the module. Reads a print document (the journal
// or copies of receipts, code page 1250), lays it out on A4 pages, writes it
// as a PDF and then prints it, shows it or says where it is.
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/file_name.h"
#include "base/input_file.h"
#include "base/local_clock.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/settings_store.h"
#include "tools/help_or_version.h"
#include "tools/vyrnak/document_parser.h"
#include "tools/vyrnak/page_layout.h"
#include "tools/vyrnak/pdf_handoff.h"
#include "tools/vyrnak/pdf_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr std::uintmax_t LargestDocument = 256u << 20;
constexpr std::string_view DefaultPdfName = "tisk.pdf";

constexpr std::string_view UsageText =
    "Usage: vyrnak [FILE] DOCUMENT [/PDF=OUTPUT]\n"
    "       vyrnak --help | --version\n"
    "\n"
    "Turns a print document of the module (the journal or copies of receipts,\n"
    "code page 1250) into an A4 PDF. A relative DOCUMENT is looked up in the\n"
    "current folder, then in the folder of vyrnak itself. The PDF is written\n"
    "as tisk.pdf next to the document, or as OUTPUT.\n"
    "\n"
    "Then, in this order:\n"
    "  - when the settings file names a printer, it is printed there with lp\n"
    "    (${XDG_CONFIG_HOME:-$HOME/.config}/Kelmora/VOR-Manager.ini,\n"
    "    section [Tisk], entry Tiskarna=NAME);\n"
    "  - else, when a display is there (DISPLAY or WAYLAND_DISPLAY), it is\n"
    "    opened with xdg-open;\n"
    "  - else a line on standard error says where the PDF is.\n"
    "\n"
    "Exit status: 0 done, 1 the document could not be read, was malformed, or\n"
    "the PDF could not be written or printed (one line on standard error says why).\n";

class EUsage : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TOptions {
  bool help = false;
  bool version = false;
  std::string document;
  std::string pdf;
};

TOptions ParseArguments(const std::vector<std::string>& arguments) {
  TOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    // The help and the version are answered whatever follows them.
    if (argument == "--help" || argument == "-h" || argument == "--version") {
      options.help = argument != "--version";
      options.version = argument == "--version";
      return options;
    }
    if (argument.starts_with("--")) {
      throw EUsage("unknown option \"" + argument + "\" (see vyrnak --help)");
    } else if (argument.size() > 5 && (argument.starts_with("/PDF=") || argument.starts_with("/pdf="))) {
      options.pdf = NativePathFromCommand(argument.substr(5));
    } else if ((argument == "FILE" || argument == "file") && i + 1 < arguments.size() && options.document.empty()) {
      options.document = arguments[++i];
    } else if (options.document.empty() && !argument.empty()) {
      options.document = argument;
    } else {
      throw EUsage("unexpected argument \"" + argument + "\" (see vyrnak --help)");
    }
  }
  if (options.document.empty()) throw EUsage("no document given (see vyrnak --help)");
  return options;
}

bool Exists(const fs::path& path) { return LookAtEntry(NameFromPath(path)).kind != TFileEntry::Kind::Missing; }

// A relative name is looked up where the user is, then in vyrnak's own
// folder: the module passes only the bare name when the document lies in its
// own folder, which is vyrnak's folder too, and starts vyrnak in no
// particular working directory.
fs::path ResolveDocument(const std::string& name) {
  fs::path path = PathFromName(NativePathFromCommand(name));
  if (path.has_root_path() || Exists(path)) return path;
  const fs::path own = PathFromName(ExecutablePath());
  if (own.empty()) return path;
  fs::path beside = own.parent_path() / path;
  if (Exists(beside)) return beside;
  throw std::runtime_error("cannot read " + NameFromPath(path) + ": neither in the current folder nor in " +
                           NameFromPath(own.parent_path()));
}

std::string ReadDocument(const fs::path& path) {
  try {
    return ReadInputFile(NameFromPath(path), LargestDocument);
  } catch (const std::system_error& failure) {
    const std::string reason = failure.code().value() == EFBIG ? "larger than 256 MB" : failure.code().message();
    throw std::runtime_error("cannot read " + NameFromPath(path) + ": " + reason);
  }
}

std::string LocalTime(const char* format) {
  const std::tm local = LocalTimeNow();
  char text[32];
  return std::strftime(text, sizeof text, format, &local) > 0 ? text : "";
}

fs::path MakePdf(const TOptions& options) {
  const fs::path document = ResolveDocument(options.document);
  const auto text = ReadDocument(document);
  TPrintDocument parsed;
  try {
    parsed = TDocumentParser::Parse(text);
  } catch (const EMalformedDocument& error) {
    throw EMalformedDocument(NameFromPath(document) + ": malformed document: " + error.what());
  }
  const auto pages = TPageLayout(LocalTime("%d.%m.%Y"), LocalTime("%H:%M")).LayOut(parsed);
  fs::path pdf = options.pdf.empty() ? document.parent_path() / DefaultPdfName : PathFromName(options.pdf);
  TPdfWriter::Write(pages, pdf, options.pdf.empty() ? LinkRule::Replace : LinkRule::FollowOnce);
  return pdf;
}

int HandOff(const fs::path& pdf) {
  const std::string printer = ReadSettingText("Tisk", "Tiskarna");
  if (!printer.empty()) {
    try {
      PrintOnPrinter(pdf, printer);
    } catch (const EHandoffError& error) {
      std::cerr << "vyrnak: " << error.what() << "; the PDF is " << NameFromPath(pdf) << '\n';
      return ExitFailed;
    }
    return ExitDone;
  }
  if (OpenInViewer(pdf)) return ExitDone;
  std::cerr << "vyrnak: PDF written to " << NameFromPath(fs::absolute(pdf)) << '\n';
  return ExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  RestoreChildSignal();
  try {
    const auto options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (AnswerHelpOrVersion(options.help, options.version, "vyrnak", UsageText)) return ExitDone;
    return HandOff(MakePdf(options));
  } catch (const std::exception& error) {
    std::cerr << "vyrnak: " << error.what() << '\n';
    return ExitFailed;
  }
}
