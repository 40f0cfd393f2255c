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
constexpr int ResetCodeOffset = 69;
constexpr std::uint8_t PluUploadCode = 0x61;
constexpr std::uint8_t PluUploadCodeV = 0x03;
constexpr std::uint8_t PluUploadCodeA = 0x63;

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
  switch (status) {
    case 0x02: return ecr39 ? std::optional<std::string>("Z") : std::nullopt;
    case 0x04: return ecr39 ? "X" : "Z";
    case 0x08: return ecr39 ? "REG" : "XT";
    case 0x10: return ecr39 ? "OFF" : "R";
    case 0x20: return ecr39 ? "P" : "OFF";
    case 0x40: return ecr39 ? "S" : "P";
    case 0x80: return ecr39 ? std::nullopt : std::optional<std::string>("S");
    default: return std::nullopt;
  }
}

std::uint8_t TableCode(const TSoubor& table, std::uint8_t command, const TLinkBytes& bytes,
                       const TUploadOptions& options) {
  if (table.ResetMark) return static_cast<std::uint8_t>(table.Number + ResetCodeOffset);
  if (table.Number == TableNumber::Plu && command == bytes.Dtx) {
    if (options.OptionA) return PluUploadCodeA;
    return options.OptionV ? PluUploadCodeV : PluUploadCode;
  }
  return DecimalToBcd(std::to_string(table.Number));
}

void RaisePortResult(int portResult) {
  if (portResult == PortResult::ShortRead) RaiseError(ErrorNumber::LineFailure);
  if (portResult == PortResult::NoAnswer) RaiseError(ErrorNumber::NoAnswer);
}

TLinkProtocol::TLinkProtocol(TPort& port, const TLinkBytes& bytes, std::uint8_t netId, std::string modelName)
    : port_(port), bytes_(bytes), netId_(netId), modelName_(std::move(modelName)) {}

int TLinkProtocol::Exchange(std::string_view frame, std::string& reply) {
  return port_.WriteRead(frame, reply, ReplyLength, -1);
}

int TLinkProtocol::Handshake(int tableNumber) {
  LogLine("posilam ENQ...");
  std::string reply;
  RaisePortResult(Exchange(CommandFrame(bytes_.Enq, netId_, DecimalToBcd(std::to_string(tableNumber))), reply));
  if (reply.size() != ReplyLength || !VerifyCheckBytes(reply)) RaiseError(ErrorNumber::BadCheckBytes);
  const int code = ReplyByte(reply, 0);
  if (code == 0 || code > bytes_.MaxModelCode) {
    if (code == bytes_.Enq && ReplyByte(reply, 1) == 0x0B && netId_ > 0) RaiseError(ErrorNumber::RegisterNotReady);
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
    case 0x17: RaiseError(ErrorNumber::ServiceInfoError);
    case 0x0B: RaiseError(ErrorNumber::NetworkRegisterBusy, std::to_string(netId_));
    case 0x0C: RaiseError(ErrorNumber::NetworkNotStarted);
    case 0x0D:
    case 0x0E: RaiseError(ErrorNumber::NetworkSilent);
    default: return;
  }
}

bool TLinkProtocol::RequestReply(const std::string& reply, int portResult, std::uint8_t sentByte) {
  RaisePortResult(portResult);
  const bool drq = sentByte == bytes_.Drq;
  if (drq && reply == EndFrame) return true;
  const std::uint8_t status = ReplyByte(reply, 1);
  if (reply.size() >= 2 && ReplyByte(reply, 0) == sentByte) RaiseNetworkStatus(status);
  if (reply.empty() || ReplyByte(reply, 0) != sentByte) RaiseError(drq ? ErrorNumber::BadDrqReply : ErrorNumber::BadDtxReply);
  if (status % 2 == 1) RaiseError(ErrorNumber::RegisterNotReady);
  if (reply.size() != ReplyLength || !VerifyCheckBytes(reply)) RaiseError(ErrorNumber::BadCheckBytes);
  if (auto position = KeyPosition(modelName_, status)) keyPosition_ = *position;
  return false;
}
