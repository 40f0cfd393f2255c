#include "base/ciphered_log_line.h"

#include <cstdint>

#include "base/hex_text.h"

namespace {

// Reads bytes written as two hex digits each, front to back.
class THexCursor {
public:
  explicit THexCursor(std::string_view hex) : hex_(hex) {}

  bool AtEnd() const { return pos_ == hex_.size(); }

  std::uint8_t NextByte(std::string_view what) {
    if (hex_.size() - pos_ < 2) throw EMalformedLogLine("line ends inside " + std::string(what));
    const int high = DigitValue(hex_[pos_]);
    const int low = DigitValue(hex_[pos_ + 1]);
    if (high < 0 || low < 0) {
      throw EMalformedLogLine("bad hex digit at column " + std::to_string(pos_ + (high < 0 ? 1 : 2)));
    }
    pos_ += 2;
    return static_cast<std::uint8_t>(high * 16 + low);
  }

private:
  static int DigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
  }

  std::string_view hex_;
  std::size_t pos_ = 0;
};

std::string PieceName(std::size_t number) { return "piece " + std::to_string(number); }

std::string ReadPieceBase64(THexCursor& cursor, std::size_t number) {
  const std::uint8_t length = cursor.NextByte("the length of " + PieceName(number));
  std::string base64;
  base64.reserve(length);
  for (std::uint8_t i = 0; i < length; ++i) base64 += static_cast<char>(cursor.NextByte(PieceName(number)));
  return base64;
}

std::string DecipherPiece(TTextCipher& cipher, std::string_view base64, std::size_t number) {
  try {
    return cipher.DecryptString(base64);
  } catch (const std::invalid_argument& error) {
    throw EMalformedLogLine(PieceName(number) + ": " + error.what());
  }
}

// The writer always ends a line with a short (possibly empty) piece and
// counts its pieces modulo 256.
void CheckLineComplete(std::uint8_t countField, std::size_t pieces, bool lastWasShort) {
  if (pieces == 0) throw EMalformedLogLine("no pieces after the piece count");
  if (pieces % 256 != countField) {
    throw EMalformedLogLine("piece count " + std::to_string(countField) + " but the line holds " +
                            std::to_string(pieces) + " pieces");
  }
  if (!lastWasShort) throw EMalformedLogLine("the last piece is full: the line is truncated");
}

}  // namespace

std::string EncipherLogLine(std::string_view logText, TTextCipher& cipher) {
  cipher.Reset();
  const std::size_t pieceCount = logText.size() / LogPieceLength + 1;
  std::string line = ByteToHex(static_cast<std::uint8_t>(pieceCount % 256));
  // Each piece of ten bytes becomes 16 Base64 characters, 34 hex digits.
  line.reserve(2 + pieceCount * 34);
  for (std::size_t i = 0; i < pieceCount; ++i) {
    const std::string base64 = cipher.EncryptString(logText.substr(i * LogPieceLength, LogPieceLength));
    line += ByteToHex(static_cast<std::uint8_t>(base64.size() % 256));
    for (const char c : base64) line += ByteToHex(static_cast<std::uint8_t>(c));
  }
  return line;
}

std::string DecipherLogLine(std::string_view line, TTextCipher& cipher) {
  if (line.empty()) throw EMalformedLogLine("empty line");
  THexCursor cursor(line);
  const std::uint8_t countField = cursor.NextByte("the piece count");
  cipher.Reset();
  std::string text;
  std::size_t pieces = 0;
  bool lastWasShort = false;
  while (!cursor.AtEnd()) {
    ++pieces;
    if (lastWasShort) throw EMalformedLogLine(PieceName(pieces) + " follows a short piece");
    const std::string piece = DecipherPiece(cipher, ReadPieceBase64(cursor, pieces), pieces);
    if (piece.size() > LogPieceLength) {
      throw EMalformedLogLine(PieceName(pieces) + " is longer than ten characters");
    }
    lastWasShort = piece.size() < LogPieceLength;
    text += piece;
  }
  CheckLineComplete(countField, pieces, lastWasShort);
  return text;
}
