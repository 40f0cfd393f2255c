#include "base/text_cipher.h"

#include <algorithm>
#include <stdexcept>

#include "base/base64.h"
#include "base/gcrypt_library.h"

namespace {

std::string DigestOf(std::string_view passPhrase) {
  const Sha1Digest digest = ComputeSha1(passPhrase);
  return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

// Overwrites a buffer in a way the optimiser may not drop as a dead store.
void WipeBlock(TBlowfish::Block& block) noexcept {
  volatile std::uint8_t* bytes = block.data();
  for (std::size_t i = 0; i < block.size(); ++i) bytes[i] = 0;
}

TBlowfish::Block InitialChaining(const TBlowfish& cipher) {
  TBlowfish::Block block{};
  cipher.EncryptBlock(block);
  return block;
}

}  // namespace

TTextCipher::TTextCipher(std::string_view passPhrase)
    : feedback_(DigestOf(passPhrase)), initialChaining_(InitialChaining(feedback_)) {
  Reset();
}

TTextCipher::~TTextCipher() { Burn(); }

void TTextCipher::Reset() {
  RequireKey();
  feedback_.SetChaining(initialChaining_);
}

std::string TTextCipher::EncryptString(std::string_view plain) {
  RequireKey();
  std::string bytes(plain);
  feedback_.EncryptFeedback(bytes);
  return EncodeBase64(bytes);
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

void TTextCipher::Burn() noexcept {
  feedback_.Burn();
  WipeBlock(initialChaining_);
}

void TTextCipher::RequireKey() const {
  if (!feedback_.IsKeyed()) throw std::logic_error("text cipher was burnt");
}
