#pragma once
// One Blowfish key schedule and the encryption of single 8-byte blocks, on top
// of libgcrypt. The object owns the library's cipher handle and with it the key
// schedule; Burn or the destructor closes the handle, which wipes the schedule.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct gcry_cipher_handle;

class TBlowfish {
public:
  static constexpr std::size_t BlockSize = 8;
  using Block = std::array<std::uint8_t, BlockSize>;

  enum class Mode {
    /// Single blocks (EncryptBlock).
    Blocks,
    /// Cipher feedback with 8-bit feedback over byte strings (SetChaining,
    /// EncryptFeedback, DecryptFeedback); the register runs on between calls.
    Feedback8,
  };

  /// Builds the key schedule from 1 to 56 key bytes. Keying costs 521 block
  /// encryptions, so keep the object rather than keying again. Throws
  /// std::runtime_error when the library refuses the key.
  explicit TBlowfish(std::string_view key, Mode mode = Mode::Blocks);
  ~TBlowfish();
  TBlowfish(const TBlowfish&) = delete;
  TBlowfish& operator=(const TBlowfish&) = delete;

  /// Encrypts `block` in place. Throws std::logic_error after Burn.
  void EncryptBlock(Block& block) const;

  /// Feedback mode: loads the 8-byte chaining register.
  void SetChaining(const Block& chaining);
  /// Feedback mode: enciphers or deciphers the bytes in place, the register
  /// running on from the previous call.
  void EncryptFeedback(std::string& bytes);
  void DecryptFeedback(std::string& bytes);

  /// Erases the key schedule; the object cannot encrypt afterwards.
  void Burn() noexcept;
  bool IsKeyed() const { return handle_ != nullptr; }

private:
  gcry_cipher_handle* handle_ = nullptr;
};
