#include "transport/tcp_socket.h"

#include <algorithm>
#include <stdexcept>

namespace {

/// The decimal digits of a group as a number without leading zeros. The
/// number stays text, so a group of any length cannot overflow.
std::string GroupNumber(std::string_view group) {
  std::string digits;
  for (const char character : group) {
    if (character < '0' || character > '9') continue;
    if (digits.empty() && character == '0') continue;
    digits += character;
  }
  return digits.empty() ? "0" : digits;
}

}  // namespace

std::string NormalizeIpAddress(std::string_view address) {
  std::string normalized;
  std::size_t groupStart = 0;
  for (int group = 0; group < 4; ++group) {
    std::string_view text;
    if (groupStart <= address.size()) {
      const std::size_t dot = address.find('.', groupStart);
      const std::size_t groupEnd = dot == std::string_view::npos ? address.size() : dot;
      text = address.substr(groupStart, groupEnd - groupStart);
      groupStart = groupEnd + 1;
    }
    if (group > 0) normalized += '.';
    normalized += GroupNumber(text);
  }
  return normalized;
}

void TClientSocketBase::SetAddress(const std::string& address) { address_ = NormalizeIpAddress(address); }

std::string TClientSocketBase::ErrorText(const std::string& message, int code, std::string_view api) {
  return "Socket error: " + message + " (" + std::to_string(code) + "), on API '" + std::string(api) + "'";
}

void TClientSocketBase::Fail(int code, std::string_view api) {
  if (events_.OnError) events_.OnError(code);
  throw std::runtime_error(ErrorText(SystemMessage(code), code, api));
}

void TClientSocketBase::FailAndRelease(int code, std::string_view api) {
  ReleaseUnconnected();
  Fail(code, api);
}

void TClientSocketBase::RequireConnection(std::string_view api) {
  if (!connected_) Fail(codes_.notConnected, api);
}

void TClientSocketBase::BeginConnect(bool open) {
  if (open) Fail(codes_.alreadyConnected, "connect");
  Notify(events_.OnLookup);
}

void TClientSocketBase::RequirePortInRange() {
  if (port_ < 0 || port_ > 65535) Fail(codes_.invalidArgument, "htons");
}

void TClientSocketBase::EndConnect() {
  connected_ = true;
  Notify(events_.OnConnect);
}

void TClientSocketBase::MarkClosed(bool wasConnected) {
  connected_ = false;
  if (wasConnected) Notify(events_.OnDisconnect);
}

int TClientSocketBase::Receive(char* buffer, int size, int timeoutMs) {
  RequireConnection("recv");
  if (size <= 0) return 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    if (const auto got = ReceiveOnce(buffer, size)) return *got;
    if (!WaitUntilReady(false, deadline, "recv")) return 0;
  }
}

void TClientSocketBase::Send(std::string_view data, int timeoutMs) {
  RequireConnection("send");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  while (!data.empty()) {
    if (const auto done = SendOnce(data)) {
      data.remove_prefix(*done);
      continue;
    }
    if (!WaitUntilReady(true, deadline, "send")) Fail(codes_.timedOut, "send");
  }
}
