#pragma once
// The tests' bridge to libgcrypt, an implementation of SHA-1 and Blowfish
// independent of the module's own, to check the module's against: its
// one-time initialisation and the SHA-1 digest. The programs themselves do
// not link the library. Every user calls EnsureGcryptReady before its first
// library call.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

/// Initialises libgcrypt once per process (version check, no secure memory
/// pool: nothing here needs locked pages). Later calls return at once.
/// Throws std::runtime_error when the linked library is older than the
/// headers the program was built with.
void EnsureGcryptReady();

/// Throws std::runtime_error("<step>: <library text>") when `error` is not 0.
void ThrowOnGcryptError(unsigned int error, std::string_view step);

using Sha1Digest = std::array<std::uint8_t, 20>;

/// The 20-byte SHA-1 digest of `bytes`.
Sha1Digest ComputeSha1(std::string_view bytes);
