#include "app/card_transfer.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "base/input_file.h"
#include "base/kom_error.h"
#include "base/stop_request.h"
#include "base/safe_output_file.h"
#include "model/convert_error.h"
#include "base/localized_texts.h"
#include "model/value_conversions.h"
#include "protocol/card_exchange.h"
#include "protocol/transfer_view.h"
#include "base/communication_log.h"
#include "transport/com_layer.h"
#include "transport/port.h"

namespace {

constexpr int ReaderSlot = 1;
constexpr int ReaderTimeoutMs = 100;
constexpr int WriteBlock = 8;
constexpr int ReadBlock = 128;
// A card holds a few kilobytes; a larger file is reported by its size.
constexpr std::uint64_t MaxImageFileSize = 16u << 20;

constexpr int ReadingText = 615;
constexpr int WritingText = 616;
constexpr int VerifyingText = 617;

int IntegerOr(std::string_view text, int fallback) {
  try {
    return StrToInt(text);
  } catch (const EConvertError&) {
    return fallback;
  }
}

void SetReaderLine(TNastaveni& settings) {
  settings.DataBits[ReaderSlot] = 8;
  settings.Parity[ReaderSlot] = 'N';
  settings.StopBits[ReaderSlot] = 2;
  settings.Timeout[ReaderSlot] = ReaderTimeoutMs;
}

void LoadImage(const std::string& file, const TCardRange& range, TCardImage& image) {
  try {
    TInputFile in(file, MaxImageFileSize);
    if (in.Size() != static_cast<std::uint64_t>(range.Length)) {
      LogLine("Soubor nema " + std::to_string(range.Length) + " bytu");
      RaiseError(ErrorNumber::BadCardImageSize);
    }
    const std::string bytes = in.ReadUpTo(static_cast<std::size_t>(range.Length));
    if (bytes.size() != static_cast<std::size_t>(range.Length)) throw std::runtime_error("cannot read " + file);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(image.data() + range.Start));
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba behen cteni: ") + failure.what());
    RaiseError(ErrorNumber::InputFileFailure);
  }
}

void SaveImage(const std::string& file, const TCardRange& range, const TCardImage& image) {
  try {
    TSafeOutputFile out(file, LinkRule::FollowOnce);
    out.Write(std::string_view(reinterpret_cast<const char*>(image.data() + range.Start),
                               static_cast<std::size_t>(range.Length)));
    out.Commit();
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba behen ukladani: ") + failure.what());
    RaiseError(ErrorNumber::OutputFileFailure);
  }
}

void OpenReader(TPort& port, const TNastaveni& settings) {
  try {
    port.Open(settings, ReaderSlot, ComFlow::None);
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
    ThrowIfStopRequested();  // a stopped connect is the stop, not error 09
    RaiseError(ErrorNumber::ConnectFailure);
  }
  // A TCP connection that did not come about leaves the port closed: there
  // is no reader to copy from.
  if (!port.Opened()) RaiseError(ErrorNumber::ConnectFailure);
}

/// Shows the progress label unless the command runs minimised.
class TCardProgress {
public:
  TCardProgress(bool minimized, int textId) : view_(MakeTransferView(minimized)) {
    view_->Caption = "PCS";
    Show(textId);
  }
  void Show(int textId) {
    view_->FirstLabel = LoadText(textId);
    view_->Repaint();
  }

private:
  std::unique_ptr<TTransferView> view_;
};

void WriteCard(TPort& port, TCardImage& image, const TCardRange& range, TCardProgress& progress) {
  if (range.WholeCard()) {
    for (int start = 0; start < CardSize; start += WriteBlock) WriteCardBlock(port, image, start, WriteBlock);
  } else {
    WriteCardBlock(port, image, range.Start, range.Length);
  }
  progress.Show(VerifyingText);
  const bool verified = range.WholeCard() ? ReadCardBlock(port, image, 0, ReadBlock, true) &&
                                                ReadCardBlock(port, image, ReadBlock, ReadBlock, true)
                                          : ReadCardBlock(port, image, range.Start, range.Length, true);
  if (!verified) RaiseError(ErrorNumber::CardVerifyMismatch);
}

void ReadCard(TPort& port, TCardImage& image, const TCardRange& range) {
  if (range.WholeCard()) {
    ReadCardBlock(port, image, 0, ReadBlock, false);
    ReadCardBlock(port, image, ReadBlock, ReadBlock, false);
  } else {
    ReadCardBlock(port, image, range.Start, range.Length, false);
  }
}

}  // namespace

TCardRange CardRangeOf(std::string_view activity) {
  if (activity.size() < 5 || activity[4] != '.') return {};
  const std::string_view rest = activity.substr(5);
  const auto point = rest.rfind('.');
  const std::string_view lengthText = point == std::string_view::npos ? rest : rest.substr(point + 1);
  const std::string_view startText = point == std::string_view::npos ? std::string_view() : rest.substr(0, point);
  return {IntegerOr(startText, 0), IntegerOr(lengthText, CardSize)};
}

void CheckCardRange(const TCardRange& range) {
  if (range.Start >= 0 && range.Length >= 1 && range.Start <= CardSize - range.Length) return;
  LogLine("Oblast karty od " + std::to_string(range.Start) + " delky " + std::to_string(range.Length) +
          " lezi mimo 256 bytu karty");
  RaiseError(ErrorNumber::NoActivity);
}

void TransferCard(TNastaveni& settings, const CommandParameters& parameters, TLineOptions lineOptions) {
  const bool writing = parameters.Activity.starts_with("PCSW");
  const TCardRange range = CardRangeOf(parameters.Activity);
  CheckCardRange(range);

  TCardProgress progress(parameters.Minimized, writing ? WritingText : ReadingText);
  SetReaderLine(settings);
  TCardImage image{};
  if (writing) LoadImage(parameters.DataFile, range, image);

  TPort port(lineOptions);
  OpenReader(port, settings);
  StartCardExchange(port);
  if (writing) {
    WriteCard(port, image, range, progress);
  } else {
    ReadCard(port, image, range);
  }
  EndCardExchange(port);
  if (!writing) SaveImage(parameters.DataFile, range, image);
  port.Close();
}
