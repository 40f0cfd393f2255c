#pragma once
// The fixed pass phrase that keys the text cipher of the enciphered
// communication log and of enciphered data files. Every enciphered file ever
// written depends on this value: changing it makes them all unreadable.
#include <string_view>

// Seventeen bytes, printable and non-printable mixed. The literal is split
// where a hexadecimal escape would otherwise swallow the next character.
inline constexpr char PassPhraseBytes[] =
    "M\x8A" "er\x03v-\x1F" "K\xB7" "l\x02og\x7F" "9\xE4";

inline constexpr std::string_view PassPhrase{PassPhraseBytes, sizeof(PassPhraseBytes) - 1};

static_assert(PassPhrase.size() == 17, "the pass phrase has 17 bytes");
