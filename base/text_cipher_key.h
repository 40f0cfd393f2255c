#pragma once
// The fixed key of the text cipher of the enciphered communication log and
// of enciphered data files: the SHA-1 digest of the module's pass phrase, a
// 160-bit Blowfish key. Every enciphered file ever written depends on it:
// changing it makes them all unreadable. It is kept as the digest itself, so
// that the programs need no hash function; the test of the text cipher
// checks that it is the digest of the pass phrase.
#include <string_view>

inline constexpr char TextCipherKeyBytes[] =
    "\xCC\xE1\xE8\xE2\x6B\x60\x75\x2B\x27\xE7\x9E\xED\xEC\x69\xE7\xD2\x51\x10\x08\x57";

inline constexpr std::string_view TextCipherKey{TextCipherKeyBytes, sizeof(TextCipherKeyBytes) - 1};

static_assert(TextCipherKey.size() == 20, "the key is a 20-byte SHA-1 digest");
