#include "base/text_cipher.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/blowfish.h"
#include "base/text_cipher_key.h"
#include "gcrypt_library.h"
#include "test_support.h"

namespace {

// The module's pass phrase: seventeen bytes, printable and non-printable
// mixed. The literal is split where a hexadecimal escape would otherwise
// swallow the next character.
constexpr char PassPhraseBytes[] =
    "M\x8A"
    "er\x03v-\x1F"
    "K\xB7"
    "l\x02og\x7F"
    "9\xE4";
constexpr std::string_view PassPhrase{PassPhraseBytes, sizeof(PassPhraseBytes) - 1};

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

TBlowfish::Block BlockFromHex(std::string_view hex) {
  const std::string bytes = FromHex(hex);
  TBlowfish::Block block{};
  std::copy(bytes.begin(), bytes.end(), block.begin());
  return block;
}

// Published Blowfish vectors (Eric Young's set): fixed plain text, the key
// F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677 cut to 1 .. 24 bytes.
TEST(Blowfish, MatchesTheVariableKeyLengthVectors) {
  const std::string fullKey = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
  const char* const expected[] = {"F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
                                  "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
                                  "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
                                  "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
                                  "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
                                  "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080"};
  for (std::size_t length = 1; length <= fullKey.size(); ++length) {
    TBlowfish blowfish(fullKey.substr(0, length));
    TBlowfish::Block block = BlockFromHex("FEDCBA9876543210");
    blowfish.EncryptBlock(block);
    EXPECT_EQ(block, BlockFromHex(expected[length - 1])) << "key length " << length;
  }
}

TEST(Blowfish, MatchesFixedKeyVectors) {
  struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Vector vectors[] = {{"0000000000000000", "0000000000000000", "4EF997456198DD78"},
                            {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
                            {"3000000000000000", "1000000000000001", "7D856F9A613063F2"}};
  for (const auto& vector : vectors) {
    TBlowfish blowfish(FromHex(vector.key));
    TBlowfish::Block block = BlockFromHex(vector.plain);
    blowfish.EncryptBlock(block);
    EXPECT_EQ(block, BlockFromHex(vector.cipher)) << vector.key;
  }
}

TEST(Blowfish, RefusesToEncryptAfterBurn) {
  TBlowfish blowfish(FromHex("0000000000000000"));
  blowfish.Burn();
  TBlowfish::Block block{};
  EXPECT_THROW(blowfish.EncryptBlock(block), std::logic_error);
  blowfish.Burn();  // a second burn is harmless
}

TEST(Blowfish, RejectsKeysOutsideOneTo56Bytes) {
  EXPECT_THROW(TBlowfish(std::string_view{}), std::runtime_error);
  EXPECT_THROW(TBlowfish(std::string(TBlowfish::MaxKeyBytes + 1, 'k')), std::runtime_error);
}

std::string RandomBytes(std::mt19937& random, std::size_t count) {
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

// The library's Blowfish, an implementation independent of ours, in block or
// 8-bit cipher-feedback mode.
std::string LibraryCipher(int mode, std::string_view key, std::string_view chaining, std::string text, bool encrypt) {
  EnsureGcryptReady();
  gcry_cipher_hd_t handle = nullptr;
  EXPECT_EQ(gcry_cipher_open(&handle, GCRY_CIPHER_BLOWFISH, mode, 0), 0u);
  EXPECT_EQ(gcry_cipher_setkey(handle, key.data(), key.size()), 0u);
  if (!chaining.empty()) {
    EXPECT_EQ(gcry_cipher_setiv(handle, chaining.data(), chaining.size()), 0u);
  }
  const auto run = encrypt ? gcry_cipher_encrypt : gcry_cipher_decrypt;
  EXPECT_EQ(run(handle, text.data(), text.size(), nullptr, 0), 0u);
  gcry_cipher_close(handle);
  return text;
}

TEST(Blowfish, AgreesWithTheLibraryForEveryKeyLength) {
  std::mt19937 random(17);
  for (std::size_t length = 1; length <= TBlowfish::MaxKeyBytes; ++length) {
    const std::string key = RandomBytes(random, length);
    const std::string plain = RandomBytes(random, TBlowfish::BlockSize);
    TBlowfish::Block block{};
    std::copy(plain.begin(), plain.end(), block.begin());
    TBlowfish(key).EncryptBlock(block);
    EXPECT_EQ(std::string(block.begin(), block.end()), LibraryCipher(GCRY_CIPHER_MODE_ECB, key, {}, plain, true))
        << "key length " << length;
  }
}

// Deciphering takes four bytes at a time, and a text of 128 KiB or more is
// cut into pieces of 16 KiB deciphered on several processors: texts cut into
// pieces of every size around these, the register running on from piece to
// piece.
TEST(Blowfish, FeedbackAgreesWithTheLibraryWhateverThePieces) {
  struct Case {
    std::size_t textSize;
    std::vector<std::size_t> pieceSizes;
  };
  const Case cases[] = {{1001, {1, 2, 3, 4, 5, 7, 8, 9, 10, 16, 1001}},
                        {300007, {300007, 131073, 131072, 131071, 16385, 16384}}};
  std::mt19937 random(29);
  const std::string key = RandomBytes(random, 20);
  const std::string chaining = RandomBytes(random, TBlowfish::BlockSize);
  TBlowfish::Block initial{};
  std::copy(chaining.begin(), chaining.end(), initial.begin());
  TBlowfish ours(key);
  const auto piecewise = [&](std::string_view input, std::size_t piece, bool encrypt) {
    ours.SetChaining(initial);
    std::string output;
    for (std::size_t at = 0; at < input.size(); at += piece) {
      std::string part(input.substr(at, piece));
      encrypt ? ours.EncryptFeedback(part) : ours.DecryptFeedback(part);
      output += part;
    }
    return output;
  };
  for (const Case& test : cases) {
    const std::string plain = RandomBytes(random, test.textSize);
    const std::string cipher = LibraryCipher(GCRY_CIPHER_MODE_CFB8, key, chaining, plain, true);
    for (const std::size_t piece : test.pieceSizes) {
      EXPECT_EQ(piecewise(plain, piece, true), cipher) << test.textSize << " bytes in pieces of " << piece;
      EXPECT_EQ(piecewise(cipher, piece, false), plain) << test.textSize << " bytes in pieces of " << piece;
    }
  }
}

std::string KeyOf(std::string_view passPhrase) {
  const Sha1Digest digest = ComputeSha1(passPhrase);
  return std::string(digest.begin(), digest.end());
}

TEST(Sha1, MatchesTheStandardVector) { EXPECT_EQ(KeyOf("abc"), FromHex("A9993E364706816ABA3E25717850C26C9CD0D89D")); }

// Every enciphered file ever written depends on the key: it must stay the
// digest of the pass phrase.
TEST(TextCipherKey, IsTheSha1OfThePassPhrase) {
  ASSERT_EQ(PassPhrase.size(), 17u);
  EXPECT_EQ(KeyOf(PassPhrase), std::string(TextCipherKey));
}

// Enciphers with the library's own 8-bit cipher-feedback mode under the same
// key and initial chaining value: an implementation independent of ours.
std::string LibraryCfb8(std::string_view passPhrase, std::string_view plain) {
  EnsureGcryptReady();
  const std::string key = KeyOf(passPhrase);
  TBlowfish blowfish(key);
  TBlowfish::Block initial{};
  blowfish.EncryptBlock(initial);
  gcry_cipher_hd_t handle = nullptr;
  EXPECT_EQ(gcry_cipher_open(&handle, GCRY_CIPHER_BLOWFISH, GCRY_CIPHER_MODE_CFB8, 0), 0u);
  EXPECT_EQ(gcry_cipher_setkey(handle, key.data(), key.size()), 0u);
  EXPECT_EQ(gcry_cipher_setiv(handle, initial.data(), initial.size()), 0u);
  std::string cipher(plain);
  EXPECT_EQ(gcry_cipher_encrypt(handle, cipher.data(), cipher.size(), nullptr, 0), 0u);
  gcry_cipher_close(handle);
  return cipher;
}

TEST(TextCipher, AgreesWithTheLibrarysCipherFeedbackMode) {
  const std::string plain = "Otevreni portu " + AllByteValues();
  TTextCipher cipher(KeyOf(PassPhrase));
  cipher.Reset();
  EXPECT_EQ(DecodeBase64(cipher.EncryptString(plain)), LibraryCfb8(PassPhrase, plain));
}

TEST(TextCipher, RoundTripsEmptyLongAndEveryByteValue) {
  const std::string texts[] = {"", "a", AllByteValues(), std::string(100000, '\xA0') + AllByteValues()};
  TTextCipher writer(TextCipherKey);
  TTextCipher reader(TextCipherKey);
  for (const auto& text : texts) {
    writer.Reset();
    reader.Reset();
    EXPECT_EQ(reader.DecryptString(writer.EncryptString(text)), text) << "length " << text.size();
  }
}

TEST(TextCipher, ChainingRunsOnAcrossCallsUntilReset) {
  TTextCipher cipher(TextCipherKey);
  const std::string whole = DecodeBase64(cipher.EncryptString("abcdefghij"));
  cipher.Reset();
  const std::string head = DecodeBase64(cipher.EncryptString("abcd"));
  const std::string tail = DecodeBase64(cipher.EncryptString("efghij"));
  EXPECT_EQ(head + tail, whole);

  const std::string continued = cipher.EncryptString("abcdefghij");
  EXPECT_NE(DecodeBase64(continued), whole);
  cipher.Reset();
  EXPECT_EQ(DecodeBase64(cipher.EncryptString("abcdefghij")), whole);
}

TEST(TextCipher, DifferentKeysGiveDifferentText) {
  TTextCipher ours(TextCipherKey);
  TTextCipher other(KeyOf("another pass phrase"));
  EXPECT_NE(ours.EncryptString("Parametry rozpoznany"), other.EncryptString("Parametry rozpoznany"));
}

TEST(TextCipher, RejectsMalformedBase64WithoutMovingTheRegister) {
  TTextCipher writer(TextCipherKey);
  const std::string text = writer.EncryptString("abc");
  TTextCipher reader(TextCipherKey);
  EXPECT_THROW(reader.DecryptString("Zm9-"), std::invalid_argument);
  EXPECT_EQ(reader.DecryptString(text), "abc");
}

TEST(TextCipher, RefusesEveryOperationAfterBurn) {
  TTextCipher cipher(TextCipherKey);
  cipher.Burn();
  EXPECT_THROW(cipher.Reset(), std::logic_error);
  EXPECT_THROW(cipher.EncryptString("x"), std::logic_error);
  EXPECT_THROW(cipher.DecryptString("AA=="), std::logic_error);
}

}  // namespace
