#include "tools/vyrnak/pdf_writer.h"

#include <hpdf.h>

#include <cstdio>
#include <memory>
#include <system_error>
#include <string>
#include <type_traits>

#include "base/file_name.h"
#include "base/safe_output_file.h"

namespace {

using G = TPageGeometry;

// Pages a node of the page tree holds. Without a tree the document's one
// page list ends at the library's array limit (32,767 pages); with it the
// root holds that many nodes of this many pages each.
constexpr HPDF_UINT PagesPerNode = 1000;

// libharu reports failures through a C callback: the first one is kept and
// turned into an exception once control is back in C++.
struct TLibraryFailure {
  HPDF_STATUS error = HPDF_OK;
  HPDF_STATUS detail = HPDF_OK;
};

void HPDF_STDCALL RememberFailure(HPDF_STATUS error, HPDF_STATUS detail, void* userData) {
  auto* failure = static_cast<TLibraryFailure*>(userData);
  if (failure->error != HPDF_OK) return;
  failure->error = error;
  failure->detail = detail;
}

void ThrowIfFailed(const TLibraryFailure& failure, const char* step) {
  if (failure.error == HPDF_OK) return;
  char code[64];
  std::snprintf(code, sizeof code, " (libharu error 0x%04lX, detail %lu)", static_cast<unsigned long>(failure.error),
                static_cast<unsigned long>(failure.detail));
  throw EPdfError(std::string("cannot ") + step + code);
}

struct TFonts {
  HPDF_Font regular = nullptr;
  HPDF_Font bold = nullptr;
};

void DrawFrames(HPDF_Page page, const std::vector<TPlacedFrame>& frames) {
  if (frames.empty()) return;
  HPDF_Page_SetLineWidth(page, 0.5);
  for (const auto& frame : frames) {
    const double bottom = G::Height - frame.top - frame.height;
    if (frame.height == 0) {
      HPDF_Page_MoveTo(page, static_cast<HPDF_REAL>(frame.x), static_cast<HPDF_REAL>(bottom));
      HPDF_Page_LineTo(page, static_cast<HPDF_REAL>(frame.x + frame.width), static_cast<HPDF_REAL>(bottom));
    } else {
      HPDF_Page_Rectangle(page, static_cast<HPDF_REAL>(frame.x), static_cast<HPDF_REAL>(bottom),
                          static_cast<HPDF_REAL>(frame.width), static_cast<HPDF_REAL>(frame.height));
    }
  }
  HPDF_Page_Stroke(page);
}

void DrawTexts(HPDF_Page page, const TFonts& fonts, const std::vector<TPlacedText>& texts) {
  if (texts.empty()) return;
  HPDF_Page_BeginText(page);
  HPDF_Font current = nullptr;
  double currentSize = 0;
  for (const auto& text : texts) {
    const HPDF_Font font = text.bold ? fonts.bold : fonts.regular;
    if (font != current || text.size != currentSize) {
      HPDF_Page_SetFontAndSize(page, font, static_cast<HPDF_REAL>(text.size));
      current = font;
      currentSize = text.size;
    }
    HPDF_Page_TextOut(page, static_cast<HPDF_REAL>(text.x), static_cast<HPDF_REAL>(G::Height - text.baseline),
                      text.text.c_str());
  }
  HPDF_Page_EndText(page);
}

// The document is made in memory and written through the module's safe
// output: complete under its name or not at all, never through a planted
// link, a FIFO written without blocking.
void SaveCompleteFile(HPDF_Doc pdf, const TLibraryFailure& failure, const std::filesystem::path& file, LinkRule links) {
  HPDF_SaveToStream(pdf);
  ThrowIfFailed(failure, ("write " + NameFromPath(file)).c_str());
  std::string bytes(HPDF_GetStreamSize(pdf), '\0');
  HPDF_UINT32 size = static_cast<HPDF_UINT32>(bytes.size());
  HPDF_ResetStream(pdf);
  HPDF_ReadFromStream(pdf, reinterpret_cast<HPDF_BYTE*>(bytes.data()), &size);
  // Reading to the very end reports HPDF_STREAM_EOF, which is no failure.
  if (failure.error != HPDF_STREAM_EOF) ThrowIfFailed(failure, ("write " + NameFromPath(file)).c_str());
  bytes.resize(size);
  try {
    WriteFileSafely(NameFromPath(file), bytes, links);
  } catch (const std::system_error& error) {
    throw EPdfError("cannot write " + NameFromPath(file) + ": " + error.what());
  }
}

}  // namespace

void TPdfWriter::Write(const std::vector<TLaidOutPage>& pages, const std::filesystem::path& file, LinkRule links) {
  TLibraryFailure failure;
  const std::unique_ptr<std::remove_pointer_t<HPDF_Doc>, void (*)(HPDF_Doc)> pdf(HPDF_New(RememberFailure, &failure),
                                                                                 HPDF_Free);
  if (!pdf) throw EPdfError("cannot start a PDF document (out of memory)");
  HPDF_SetPagesConfiguration(pdf.get(), PagesPerNode);
  ThrowIfFailed(failure, "set up the page tree");
  HPDF_SetCompressionMode(pdf.get(), HPDF_COMP_ALL);
  HPDF_SetInfoAttr(pdf.get(), HPDF_INFO_CREATOR, "vyrnak");
  const TFonts fonts{HPDF_GetFont(pdf.get(), "Courier", "CP1250"), HPDF_GetFont(pdf.get(), "Courier-Bold", "CP1250")};
  ThrowIfFailed(failure, "load the Courier fonts");
  for (const auto& laidOut : pages) {
    const HPDF_Page page = HPDF_AddPage(pdf.get());
    ThrowIfFailed(failure, "add a page");
    if (page == nullptr) throw EPdfError("cannot add a page (libharu gave none)");
    HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(G::Width));
    HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(G::Height));
    DrawFrames(page, laidOut.frames);
    DrawTexts(page, fonts, laidOut.texts);
    ThrowIfFailed(failure, "draw a page");
  }
  SaveCompleteFile(pdf.get(), failure, file, links);
}
