#include "app/line_service.h"

std::optional<std::string> LineFolderOf(const std::vector<std::string>& startArguments,
                                        const std::vector<std::string>& hostArguments) {
  for (const auto* arguments : {&startArguments, &hostArguments}) {
    if (arguments->empty() || arguments->front().empty()) continue;
    std::string folder = arguments->front();
    // An installer ends a quoted folder in "\." because a final backslash would escape the quote.
    const bool endsInDot = folder.size() > 2 && folder.ends_with('.');
    if (endsInDot && (folder[folder.size() - 2] == '\\' || folder[folder.size() - 2] == '/')) folder.pop_back();
    return folder;
  }
  return std::nullopt;
}

std::vector<std::string> LineModeArguments(std::string lineFolder, char separator) {
  if (!lineFolder.empty() && lineFolder.back() != separator && lineFolder.back() != '/') lineFolder += separator;
  return {"DOSMODE", lineFolder + LineCommandFileName};
}

TLineService::TLineService() {
  status_.CheckPoint = 1;
  status_.WaitHintMs = LineStartWaitMs;
}

void TLineService::Started() {
  if (status_.CurrentState != State::StartPending) return;
  status_ = TStatus{State::Running, true, 0, 0, 0};
}

TLineService::TControlAnswer TLineService::OnControl(Control control) {
  switch (control) {
    case Control::Interrogate:
      return {true, false, true};
    case Control::Stop:
    case Control::Shutdown:
      if (status_.CurrentState == State::Stopped) return {true, false, true};
      if (status_.CurrentState != State::StopPending) {
        status_ = TStatus{State::StopPending, false, 1, LineStopWaitMs, 0};
      }
      return {true, true, true};
    case Control::Other:
      break;
  }
  return {};
}

void TLineService::Ended(int exitCode) { status_ = TStatus{State::Stopped, false, 0, 0, exitCode}; }
