#pragma once
// One Blowfish key schedule, the encryption of single 8-byte blocks and
// cipher feedback with 8-bit feedback over byte strings.
//
// The cipher is written out here rather than called through a library: the
// feedback mode enciphers one block per byte, and a library call per byte
// costs more than the block itself. Deciphering needs only cipher bytes that
// are already known, so it works on four blocks at once; enciphering cannot,
// since every byte's block waits for the cipher byte before it.
//
// The object owns its key schedule and its chaining register; Burn or the
// destructor erases both.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TBlowfish {
public:
  static constexpr std::size_t BlockSize = 8;
  using Block = std::array<std::uint8_t, BlockSize>;
  static constexpr std::size_t MaxKeyBytes = 56;

  /// Builds the key schedule from 1 to 56 key bytes. Keying costs 521 block
  /// encryptions, so keep the object rather than keying again. Throws
  /// std::runtime_error for a key of another length.
  explicit TBlowfish(std::string_view key);
  ~TBlowfish();
  TBlowfish(const TBlowfish&) = delete;
  TBlowfish& operator=(const TBlowfish&) = delete;

  /// Encrypts `block` in place. Throws std::logic_error after Burn.
  void EncryptBlock(Block& block) const;

  /// Loads the 8-byte chaining register of the feedback mode.
  void SetChaining(const Block& chaining);
  /// Enciphers or deciphers the bytes in place in 8-bit cipher feedback, the
  /// register running on from the previous call.
  void EncryptFeedback(std::string& bytes);
  void DecryptFeedback(std::string& bytes);

  /// Erases the key schedule and the register; the object cannot encrypt
  /// afterwards.
  void Burn() noexcept;
  bool IsKeyed() const { return keyed_; }

  /// The key schedule: the P-array and the four S-boxes.
  struct Schedule {
    std::array<std::uint32_t, 18> P;
    std::array<std::array<std::uint32_t, 256>, 4> S;
  };

private:
  void RequireKey() const;

  Schedule schedule_{};
  std::uint64_t register_ = 0;
  bool keyed_ = false;
};
