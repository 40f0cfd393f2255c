#include "base/text_cipher.h"

#include <algorithm>
#include <stdexcept>

#include "base/base64.h"

TTextCipher::TTextCipher(std::string_view key) : feedback_(key) { Reset(); }

TTextCipher::~TTextCipher() { Burn(); }

// The initial chaining value is one block encryption: made anew on every
// reset, it needs no copy of its own to keep and to wipe.
void TTextCipher::Reset() {
  RequireKey();
  TBlowfish::Block chaining{};
  feedback_.EncryptBlock(chaining);
  feedback_.SetChaining(chaining);
}

std::string TTextCipher::EncryptString(std::string_view plain) {
  RequireKey();
  std::string bytes(plain);
  feedback_.EncryptFeedback(bytes);
  return EncodeBase64(bytes);
}

void TTextCipher::EncryptBytes(std::string& bytes) {
  RequireKey();
  feedback_.EncryptFeedback(bytes);
}

std::string TTextCipher::DecryptString(std::string_view base64) {
  RequireKey();
  std::string bytes = DecodeBase64(base64);
  feedback_.DecryptFeedback(bytes);
  return bytes;
}

void TTextCipher::DecryptBytes(std::string& bytes) {
  RequireKey();
  feedback_.DecryptFeedback(bytes);
}

void TTextCipher::Burn() noexcept { feedback_.Burn(); }

void TTextCipher::RequireKey() const {
  if (!feedback_.IsKeyed()) throw std::logic_error("text cipher was burnt");
}
