#include "gcrypt_library.h"

#include <gcrypt.h>

#include <mutex>
#include <stdexcept>

namespace {

void InitialiseGcrypt() {
  if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) return;
  if (gcry_check_version(GCRYPT_VERSION) == nullptr) {
    throw std::runtime_error(std::string("libgcrypt is older than ") + GCRYPT_VERSION);
  }
  gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
}

}  // namespace

void EnsureGcryptReady() {
  static std::once_flag once;
  std::call_once(once, InitialiseGcrypt);
}

void ThrowOnGcryptError(unsigned int error, std::string_view step) {
  if (error == 0) return;
  throw std::runtime_error(std::string(step) + ": " + gcry_strerror(error));
}

Sha1Digest ComputeSha1(std::string_view bytes) {
  EnsureGcryptReady();
  Sha1Digest digest{};
  static_assert(sizeof(digest) == 20);
  gcry_md_hash_buffer(GCRY_MD_SHA1, digest.data(), bytes.data(), bytes.size());
  return digest;
}
