#pragma once
// The text cipher of the enciphered communication log and of enciphered data
// files: Blowfish in cipher-feedback mode with 8-bit feedback, keyed with
// TextCipherKey (the SHA-1 digest of a pass phrase, a 160-bit Blowfish key),
// its cipher bytes carried as Base64 text.
//
// The object owns its key schedule and its 8-byte chaining register. The
// register runs on from call to call until Reset, so texts enciphered one
// after another must be deciphered in the same order. Burn (or the
// destructor) erases both; a burnt cipher refuses further work.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/blowfish.h"

class TTextCipher {
public:
  /// Keys the cipher with the Blowfish key (TextCipherKey for every file of
  /// the module) and resets it.
  explicit TTextCipher(std::string_view key);
  ~TTextCipher();
  TTextCipher(const TTextCipher&) = delete;
  TTextCipher& operator=(const TTextCipher&) = delete;

  /// Puts the initial chaining value, the encryption of eight zero bytes,
  /// into the chaining register.
  void Reset();

  /// Enciphers the bytes of `plain` and returns them as Base64 text.
  std::string EncryptString(std::string_view plain);

  /// Enciphers raw bytes in place (no Base64), the register running on as
  /// with EncryptString: the same cipher bytes as EncryptString gives for
  /// the same bytes, in pieces or whole.
  void EncryptBytes(std::string& bytes);

  /// Decodes the Base64 text and deciphers its bytes. Throws
  /// std::invalid_argument for malformed Base64; the register is then unchanged.
  std::string DecryptString(std::string_view base64);

  /// Deciphers raw cipher bytes in place (no Base64), the register running
  /// on as with DecryptString. Long runs are deciphered on several
  /// processors at once.
  void DecryptBytes(std::string& bytes);

  /// Erases the key schedule and the chaining register. Every later call but
  /// Burn throws std::logic_error.
  void Burn() noexcept;

private:
  void RequireKey() const;

  TBlowfish feedback_;
};
