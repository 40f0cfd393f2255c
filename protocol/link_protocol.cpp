#include "protocol/link_protocol.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/communication_log.h"
#include "base/kom_error.h"
#include "model/check_bytes.h"
#include "model/model_list.h"
#include "model/soubor.h"
#include "model/table_numbers.h"
#include "transport/port.h"

namespace {

constexpr int ReplyLength = 4;

// Where each key position's bit sits, for the "ECR 39T" and for the others.
struct TKeyBit {
  int Position;
  const char* Ecr39;
  const char* Other;
};
constexpr std::array<TKeyBit, 7> KeyBits = {{
    {1, "Z", nullptr},
    {2, "X", "Z"},
    {3, "REG", "XT"},
    {4, "OFF", "R"},
    {5, "P", "OFF"},
    {6, "S", "P"},
    {7, nullptr, "S"},
}};

}  // namespace

std::uint8_t DecimalToBcd(std::string_view text) {
  unsigned value = 0;
  for (const char c : text) value = (value << 4) + static_cast<unsigned>(c - '0');
  return static_cast<std::uint8_t>(value & 0xFF);
}

std::string CommandFrame(std::uint8_t command, std::uint8_t netId, std::uint8_t tableCode) {
  std::string frame{static_cast<char>(command), static_cast<char>(netId), static_cast<char>(tableCode)};
  AddCheckBytes(frame);
  return frame;
}

bool ModelCodeFits(std::string_view modelName, int code, bool cmFamily) {
  for (const auto& model : Models) {
    if (model.CmFamily != cmFamily || model.Name != modelName) continue;
    return model.AcceptsEnqCode(code);
  }
  return true;
}

std::optional<std::string> KeyPosition(std::string_view modelName, std::uint8_t status) {
  const bool ecr39 = modelName == ModelName::Ecr39;
  for (const auto& key : KeyBits) {
    if (status != KeyPositionBit(key.Position)) continue;
    const char* name = ecr39 ? key.Ecr39 : key.Other;
    return name != nullptr ? std::optional<std::string>(name) : std::nullopt;
  }
  return std::nullopt;
}

std::uint8_t TableCode(const TSoubor& table, std::uint8_t command, const TLinkBytes& bytes,
                       const TUploadOptions& options) {
  if (table.ResetMark) return static_cast<std::uint8_t>(table.Number + LinkTableCode::FirstReset);
  if (table.Number == TableNumber::Plu && command == bytes.Dtx) {
    if (options.OptionA) return LinkTableCode::PluAdd;
    return options.OptionV ? LinkTableCode::PluNew : LinkTableCode::PluReplace;
  }
  return DecimalToBcd(std::to_string(table.Number));
}

void RaisePortResult(LineResult portResult) {
  if (portResult == LineResult::ShortRead) RaiseError(ErrorNumber::LineFailure);
  if (portResult == LineResult::NoAnswer) RaiseError(ErrorNumber::NoAnswer);
}

TLinkProtocol::TLinkProtocol(TPort& port, const TLinkBytes& bytes, std::uint8_t netId, std::string modelName)
    : port_(port), bytes_(bytes), netId_(netId), modelName_(std::move(modelName)) {}

LineResult TLinkProtocol::Exchange(std::string_view frame, std::string& reply) {
  return port_.WriteRead(frame, reply, ReplyLength);
}

int TLinkProtocol::Handshake(int tableNumber) {
  LogLine("posilam ENQ...");
  std::string reply;
  RaisePortResult(Exchange(CommandFrame(bytes_.Enq, netId_, DecimalToBcd(std::to_string(tableNumber))), reply));
  if (reply.size() != ReplyLength || !VerifyCheckBytes(reply)) RaiseError(ErrorNumber::BadCheckBytes);
  const int code = ReplyByte(reply, 0);
  if (code == 0 || code > bytes_.MaxModelCode) {
    if (code == bytes_.Enq && ReplyByte(reply, 1) == LinkStatus::NetworkBusy && netId_ > 0)
      RaiseError(ErrorNumber::RegisterNotReady);
    RaiseError(ErrorNumber::BadEnqReply);
  }
  if (!ModelCodeFits(modelName_, code, bytes_.CmFamily)) RaiseError(ErrorNumber::ModelMismatch);
  return code;
}

bool TLinkProtocol::SkipsTable(int tableNumber, int modelCode) {
  return tableNumber == TableNumber::TextMemory && (modelCode == 22 || modelCode == 23);
}

void TLinkProtocol::RaiseNetworkStatus(std::uint8_t status) const {
  switch (status) {
    case LinkStatus::ServiceError:
      RaiseError(ErrorNumber::ServiceInfoError);
    case LinkStatus::NetworkBusy:
      RaiseError(ErrorNumber::NetworkRegisterBusy, std::to_string(netId_));
    case LinkStatus::NetworkNotStarted:
      RaiseError(ErrorNumber::NetworkNotStarted);
    case LinkStatus::NetworkSilent:
    case LinkStatus::NetworkSilentOrSortRefused:
      RaiseError(ErrorNumber::NetworkSilent);
    default:
      return;
  }
}

bool TLinkProtocol::RequestReply(const std::string& reply, LineResult portResult, std::uint8_t sentByte) {
  RaisePortResult(portResult);
  const bool drq = sentByte == bytes_.Drq;
  if (drq && reply == EndFrame) return true;
  const std::uint8_t status = ReplyByte(reply, 1);
  if (reply.size() >= 2 && ReplyByte(reply, 0) == sentByte) RaiseNetworkStatus(status);
  if (reply.empty() || ReplyByte(reply, 0) != sentByte)
    RaiseError(drq ? ErrorNumber::BadDrqReply : ErrorNumber::BadDtxReply);
  if (status % 2 == 1) RaiseError(ErrorNumber::RegisterNotReady);
  if (reply.size() != ReplyLength || !VerifyCheckBytes(reply)) RaiseError(ErrorNumber::BadCheckBytes);
  if (auto position = KeyPosition(modelName_, status)) keyPosition_ = *position;
  return false;
}
