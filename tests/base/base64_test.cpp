#include "base/base64.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string_view>
#include <string>

namespace {

struct Base64Pair {
  std::string bytes;
  std::string text;
};

// The test vectors of RFC 4648, section 10: every padding case.
const Base64Pair Rfc4648Vectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesTheStandardVectors) {
  for (const auto& pair : Rfc4648Vectors) EXPECT_EQ(EncodeBase64(pair.bytes), pair.text) << pair.bytes;
}

TEST(Base64, DecodesTheStandardVectors) {
  for (const auto& pair : Rfc4648Vectors) EXPECT_EQ(DecodeBase64(pair.text), pair.bytes) << pair.text;
}

TEST(Base64, UsesPlusAndSlashForTheLastTwoDigits) {
  EXPECT_EQ(EncodeBase64(std::string("\xFB\xFF", 2)), "+/8=");
  EXPECT_EQ(EncodeBase64(std::string("\x00\x00\x00", 3)), "AAAA");
}

TEST(Base64, RoundTripsEveryByteValueAtEveryLength) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  for (std::size_t length = 0; length <= all.size(); ++length) {
    const std::string bytes = all.substr(all.size() - length);
    const std::string text = EncodeBase64(bytes);
    EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
    EXPECT_EQ(DecodeBase64(text), bytes) << "length " << length;
  }
}

TEST(Base64, RejectsMalformedText) {
  const std::string malformed[] = {
      "Zg=",         // length not a multiple of four
      "Z",           // ditto
      "Zm9-",        // character outside the alphabet
      "Zm 9",        // blank
      "Zg==Zm8=",    // padding before the end
      "Z===",        // three padding characters
      "====",        // padding only
      "Zg=A",        // data after padding
      "Zh==",        // unused bits set
      "Zm9=",        // unused bits set, one padding character
      "Zm9\xC3",     // byte outside ASCII
      {"Zm9\0", 4},  // NUL
  };
  for (const auto& text : malformed) EXPECT_THROW(DecodeBase64(text), std::invalid_argument) << text;
}

// Appending keeps what the string held, after the bytes of a good text;
// after a failure the string is as it was, for the ten-byte pieces of the
// enciphered files and for a long text alike.
TEST(Base64, AppendingKeepsWhatWasThereAndAddsNothingOnFailure) {
  const struct {
    std::string_view text;
    std::string_view kept;
    bool fails;
  } cases[] = {
      {"Zm9vYmFy", "<foobar", false}, {"Zm9vYg==", "<foob", false}, {"Zm9vYmE=", "<fooba", false},
      {"Zm9vY-==", "<", true},        {"Zm9v=mFy", "<", true},      {"Zm9vYh==", "<", true},
      {"Zm9=YmFy", "<", true},
  };
  const std::string longGood(80, 'A');
  for (const auto& c : cases) {
    for (const std::string& lead : {std::string(), longGood}) {
      const std::string text = lead + std::string(c.text);
      std::string bytes = "<";
      if (c.fails) {
        EXPECT_THROW(AppendDecodedBase64(text, bytes), std::invalid_argument) << text;
        EXPECT_EQ(bytes, "<") << text;
      } else {
        AppendDecodedBase64(text, bytes);
        EXPECT_EQ(bytes, "<" + std::string(lead.size() / 4 * 3, '\0') + std::string(c.kept.substr(1))) << text;
      }
    }
  }
}

}  // namespace
