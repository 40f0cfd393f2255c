#include "transport/text_cipher.h"

#include <algorithm>
#include <stdexcept>

#include "transport/base64.h"
#include "transport/gcrypt_library.h"

namespace {

TBlowfish KeyedWithDigestOf(std::string_view passPhrase) {
  const Sha1Digest digest = ComputeSha1(passPhrase);
  return TBlowfish(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

// Overwrites a buffer in a way the optimiser may not drop as a dead store.
void WipeBlock(TBlowfish::Block& block) noexcept {
  volatile std::uint8_t* bytes = block.data();
  for (std::size_t i = 0; i < block.size(); ++i) bytes[i] = 0;
}

}  // namespace

TTextCipher::TTextCipher(std::string_view passPhrase) : blowfish_(KeyedWithDigestOf(passPhrase)) {
  blowfish_.EncryptBlock(initialChaining_);
  Reset();
}

TTextCipher::~TTextCipher() { Burn(); }

void TTextCipher::Reset() {
  RequireKey();
  chaining_ = initialChaining_;
}

std::string TTextCipher::EncryptString(std::string_view plain) {
  RequireKey();
  std::string cipherBytes(plain.size(), '\0');
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto plainByte = static_cast<std::uint8_t>(plain[i]);
    const auto cipherByte = static_cast<std::uint8_t>(NextKeyStreamByte() ^ plainByte);
    FeedBack(cipherByte);
    cipherBytes[i] = static_cast<char>(cipherByte);
  }
  return EncodeBase64(cipherBytes);
}

std::string TTextCipher::DecryptString(std::string_view base64) {
  RequireKey();
  std::string bytes = DecodeBase64(base64);
  for (char& byte : bytes) {
    const auto cipherByte = static_cast<std::uint8_t>(byte);
    byte = static_cast<char>(NextKeyStreamByte() ^ cipherByte);
    FeedBack(cipherByte);
  }
  return bytes;
}

void TTextCipher::Burn() noexcept {
  blowfish_.Burn();
  WipeBlock(initialChaining_);
  WipeBlock(chaining_);
}

// First byte of the encryption of the chaining register.
std::uint8_t TTextCipher::NextKeyStreamByte() {
  TBlowfish::Block block = chaining_;
  blowfish_.EncryptBlock(block);
  const std::uint8_t keyByte = block[0];
  WipeBlock(block);
  return keyByte;
}

// Shifts the register one byte towards its start; the cipher byte enters last.
void TTextCipher::FeedBack(std::uint8_t cipherByte) {
  std::copy(chaining_.begin() + 1, chaining_.end(), chaining_.begin());
  chaining_.back() = cipherByte;
}

void TTextCipher::RequireKey() const {
  if (!blowfish_.IsKeyed()) throw std::logic_error("text cipher was burnt");
}
