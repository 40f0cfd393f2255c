#include "protocol/transfer_view.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "base/code_page.h"
#include "base/joined_text.h"
#include "base/platform.h"

namespace {

constexpr long long RedrawIntervalMs = 150;
constexpr int BarWidth = 30;

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Bar(const TProgress& progress) {
  const int filled =
      progress.Maximum > 0 ? BarWidth * std::min(progress.Position, progress.Maximum) / progress.Maximum : 0;
  return JoinedText({"[", std::string(static_cast<std::size_t>(filled), '#'),
                     std::string(static_cast<std::size_t>(BarWidth - filled), '.'), "]"});
}

}  // namespace

void TTransferView::ShowTableStart(std::string heading, std::string counter, int records) {
  FirstLabel = std::move(heading);
  Records = {0, records};
  SecondLabel = std::move(counter);
  Repaint();
}

void TTransferView::ShowTableEnd(std::string heading, std::string counter) {
  FirstLabel = std::move(heading);
  SecondLabel = std::move(counter);
  Records.Position = Records.Maximum;
  Repaint();
}

TTerminalTransferView::~TTerminalTransferView() {
  if (!drawn_) return;
  Draw();
  std::fputs("\n", stderr);
}

void TTerminalTransferView::Repaint() {
  const long long now = NowMs();
  if (drawn_ && now - lastDrawMs_ < RedrawIntervalMs) return;
  lastDrawMs_ = now;
  Draw();
}

void TTerminalTransferView::Draw() {
  drawn_ = true;
  const std::string line = FirstLabel + " " + SecondLabel + " " + ErrorLabel;
  std::fprintf(stderr, "\r\033[K%s %s", Bar(Records).c_str(), Cp1250ToUtf8(line).c_str());
  std::fflush(stderr);
}

std::unique_ptr<TTransferView> MakeTransferView(bool minimized) {
  if (!minimized && StandardErrorIsTerminal()) return std::make_unique<TTerminalTransferView>();
  return std::make_unique<TTransferView>();
}
