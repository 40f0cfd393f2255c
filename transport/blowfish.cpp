#include "transport/blowfish.h"

#include <gcrypt.h>

#include <stdexcept>

#include "transport/gcrypt_library.h"

TBlowfish::TBlowfish(std::string_view key) {
  EnsureGcryptReady();
  ThrowOnGcryptError(gcry_cipher_open(&handle_, GCRY_CIPHER_BLOWFISH, GCRY_CIPHER_MODE_ECB, 0),
                     "Blowfish open");
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

void TBlowfish::Burn() noexcept {
  if (handle_ == nullptr) return;
  gcry_cipher_close(handle_);
  handle_ = nullptr;
}
