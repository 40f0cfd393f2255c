#pragma once
// What the viewer tests read back from a PDF: its text through pdftotext and
// its page count through pdfinfo (both from poppler-utils).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

/// The program as found on PATH, else in /usr/bin.
inline std::filesystem::path OnPath(const std::string& program) {
  namespace fs = std::filesystem;
  std::stringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin");
  for (std::string folder; std::getline(path, folder, ':');)
    if (fs::exists(fs::path(folder) / program)) return fs::path(folder) / program;
  return "/usr/bin/" + program;
}

/// The PDF's text; with `layout` the columns keep their places on the line.
inline std::string PdfText(const std::filesystem::path& pdf, bool layout = false) {
  std::vector<std::string> arguments{pdf.string(), "-"};
  if (layout) arguments.insert(arguments.begin(), "-layout");
  const auto result = RunProcess(OnPath("pdftotext"), arguments);
  EXPECT_EQ(result.exitStatus, 0) << "pdftotext (poppler-utils, see scripts/setup.sh): " << result.standardError;
  return result.standardOutput;
}

/// The PDF's page count, or -1 when pdfinfo does not give one.
inline int PdfPages(const std::filesystem::path& pdf) {
  const auto info = RunProcess(OnPath("pdfinfo"), {pdf.string()}).standardOutput;
  const auto at = info.find("\nPages:");
  return at == std::string::npos ? -1 : std::stoi(info.substr(at + 7));
}
