// The viewer's PDF writer on documents of any length (pdfinfo reads the
// page count back).
#ifdef MERV_PDF_WRITER
#include "tools/vyrnak/pdf_writer.h"

#include <gtest/gtest.h>

#include "pdf_reading.h"
#include "test_support.h"

namespace {

// A flat page list holds at most 32,767 pages; a journal of a busy shop's
// year in small print is longer.
TEST(PdfWriter, WritesDocumentsBeyondAFlatPageListsLimit) {
  TempDir folder;
  const auto pdf = folder / "long.pdf";
  constexpr int Pages = 32'800;
  TPdfWriter::Write(std::vector<TLaidOutPage>(Pages), pdf, LinkRule::Refuse);
  EXPECT_EQ(PdfPages(pdf), Pages);
}

}  // namespace
#endif
