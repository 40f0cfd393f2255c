#include "base/blowfish.h"

#include <gcrypt.h>

#include <stdexcept>

#include "base/gcrypt_library.h"

TBlowfish::TBlowfish(std::string_view key, Mode mode) {
  EnsureGcryptReady();
  const int libraryMode = mode == Mode::Feedback8 ? GCRY_CIPHER_MODE_CFB8 : GCRY_CIPHER_MODE_ECB;
  ThrowOnGcryptError(gcry_cipher_open(&handle_, GCRY_CIPHER_BLOWFISH, libraryMode, 0), "Blowfish open");
  const gcry_error_t keyError = gcry_cipher_setkey(handle_, key.data(), key.size());
  if (keyError != 0) {
    Burn();
    ThrowOnGcryptError(keyError, "Blowfish key");
  }
}

TBlowfish::~TBlowfish() { Burn(); }

void TBlowfish::EncryptBlock(Block& block) const {
  if (handle_ == nullptr) throw std::logic_error("Blowfish key schedule was burnt");
  ThrowOnGcryptError(gcry_cipher_encrypt(handle_, block.data(), block.size(), nullptr, 0),
                     "Blowfish encrypt");
}

void TBlowfish::SetChaining(const Block& chaining) {
  if (handle_ == nullptr) throw std::logic_error("Blowfish key schedule was burnt");
  ThrowOnGcryptError(gcry_cipher_setiv(handle_, chaining.data(), chaining.size()), "Blowfish chaining");
}

void TBlowfish::EncryptFeedback(std::string& bytes) {
  if (handle_ == nullptr) throw std::logic_error("Blowfish key schedule was burnt");
  if (bytes.empty()) return;
  ThrowOnGcryptError(gcry_cipher_encrypt(handle_, bytes.data(), bytes.size(), nullptr, 0), "Blowfish encrypt");
}

void TBlowfish::DecryptFeedback(std::string& bytes) {
  if (handle_ == nullptr) throw std::logic_error("Blowfish key schedule was burnt");
  if (bytes.empty()) return;
  ThrowOnGcryptError(gcry_cipher_decrypt(handle_, bytes.data(), bytes.size(), nullptr, 0), "Blowfish decrypt");
}

void TBlowfish::Burn() noexcept {
  if (handle_ == nullptr) return;
  gcry_cipher_close(handle_);
  handle_ = nullptr;
}
