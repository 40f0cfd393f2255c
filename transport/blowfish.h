#pragma once
// One Blowfish key schedule and the encryption of single 8-byte blocks, on top
// of libgcrypt. The object owns the library's cipher handle and with it the key
// schedule; Burn or the destructor closes the handle, which wipes the schedule.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct gcry_cipher_handle;

class TBlowfish {
public:
  static constexpr std::size_t BlockSize = 8;
  using Block = std::array<std::uint8_t, BlockSize>;

  /// Builds the key schedule from 1 to 56 key bytes. Keying costs 521 block
  /// encryptions, so keep the object rather than keying again. Throws
  /// std::runtime_error when the library refuses the key.
  explicit TBlowfish(std::string_view key);
  ~TBlowfish();
  TBlowfish(const TBlowfish&) = delete;
  TBlowfish& operator=(const TBlowfish&) = delete;

  /// Encrypts `block` in place. Throws std::logic_error after Burn.
  void EncryptBlock(Block& block) const;

  /// Erases the key schedule; the object cannot encrypt afterwards.
  void Burn() noexcept;
  bool IsKeyed() const { return handle_ != nullptr; }

private:
  gcry_cipher_handle* handle_ = nullptr;
};
