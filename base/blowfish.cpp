#include "base/blowfish.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/blowfish_pi_words.h"

namespace {

using Schedule = TBlowfish::Schedule;

inline std::uint32_t Round(const Schedule& key, std::uint32_t half) {
  return ((key.S[0][half >> 24] + key.S[1][(half >> 16) & 0xFF]) ^ key.S[2][(half >> 8) & 0xFF]) +
         key.S[3][half & 0xFF];
}

struct THalves {
  std::uint32_t Left;
  std::uint32_t Right;
};

inline THalves HalvesOf(std::uint64_t block) {
  return {static_cast<std::uint32_t>(block >> 32), static_cast<std::uint32_t>(block)};
}

inline void TwoRounds(const Schedule& key, std::size_t i, THalves& block) {
  block.Left ^= key.P[i];
  block.Right ^= Round(key, block.Left);
  block.Right ^= key.P[i + 1];
  block.Left ^= Round(key, block.Right);
}

inline std::uint64_t BlockOf(const Schedule& key, const THalves& block) {
  return static_cast<std::uint64_t>(block.Right ^ key.P[17]) << 32 | (block.Left ^ key.P[16]);
}

// A block as one 64-bit number: its first byte is the most significant, as
// Blowfish reads the two halves big-endian.
inline std::uint64_t Encrypt(const Schedule& key, std::uint64_t value) {
  THalves block = HalvesOf(value);
  for (std::size_t i = 0; i < 16; i += 2) TwoRounds(key, i, block);
  return BlockOf(key, block);
}

// Four independent blocks, round by round, so that the processor overlaps
// their table look-ups instead of waiting for one block's chain. Each block
// keeps its halves in variables of its own: as an array, the compiler moves
// the halves between vector and general registers every round, which costs
// more than the overlap gains.
constexpr std::size_t Lanes = 4;

inline void EncryptLanes(const Schedule& key, std::array<std::uint64_t, Lanes>& blocks) {
  THalves first = HalvesOf(blocks[0]);
  THalves second = HalvesOf(blocks[1]);
  THalves third = HalvesOf(blocks[2]);
  THalves fourth = HalvesOf(blocks[3]);
  for (std::size_t i = 0; i < 16; i += 2) {
    TwoRounds(key, i, first);
    TwoRounds(key, i, second);
    TwoRounds(key, i, third);
    TwoRounds(key, i, fourth);
  }
  blocks = {BlockOf(key, first), BlockOf(key, second), BlockOf(key, third), BlockOf(key, fourth)};
}

inline std::uint64_t ValueOf(const TBlowfish::Block& block) {
  std::uint64_t value = 0;
  for (const std::uint8_t byte : block) value = value << 8 | byte;
  return value;
}

inline std::uint8_t TopByte(std::uint64_t block) { return static_cast<std::uint8_t>(block >> 56); }

inline std::uint64_t Shifted(std::uint64_t chaining, std::uint8_t cipherByte) { return chaining << 8 | cipherByte; }

// The chaining register after `count` cipher bytes have gone through it.
std::uint64_t RegisterAfter(std::uint64_t chaining, const std::uint8_t* cipherBytes, std::size_t count) {
  const std::size_t from = count > TBlowfish::BlockSize ? count - TBlowfish::BlockSize : 0;
  for (std::size_t i = from; i < count; ++i) chaining = Shifted(chaining, cipherBytes[i]);
  return chaining;
}

// Deciphers `count` bytes in place from the given register.
void DecryptRun(const Schedule& key, std::uint64_t chaining, std::uint8_t* data, std::size_t count) {
  std::size_t i = 0;
  for (; i + Lanes <= count; i += Lanes) {
    std::array<std::uint64_t, Lanes> blocks{};
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
      blocks[lane] = chaining;
      chaining = Shifted(chaining, data[i + lane]);
    }
    EncryptLanes(key, blocks);
    for (std::size_t lane = 0; lane < Lanes; ++lane) data[i + lane] ^= TopByte(blocks[lane]);
  }
  for (; i < count; ++i) {
    const std::uint8_t cipherByte = data[i];
    data[i] ^= TopByte(Encrypt(key, chaining));
    chaining = Shifted(chaining, cipherByte);
  }
}

// A long run is deciphered in pieces, taken in turn by as many threads as
// there are processors: a thread that gets less of a processor (the caller
// of a read ahead works beside them) takes fewer pieces, and the last piece
// keeps one thread busy only briefly. A thread pays for itself from some
// ten thousand blocks on; a run is shared from far more than that.
constexpr std::size_t PieceBytes = 1 << 14;
constexpr std::size_t MinSharedBytes = 1 << 17;
constexpr std::size_t MaxWorkers = 4;

// Asking for the processors opens a system file each time; a text too short
// to be split (every log line) does not ask.
std::size_t WorkersFor(std::size_t size, std::size_t pieces) {
  if (size < MinSharedBytes) return 1;
  const std::size_t processors = std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
  return std::min({pieces, processors, MaxWorkers});
}

std::uint32_t KeyWord(std::string_view key, std::size_t& position) {
  std::uint32_t word = 0;
  for (int i = 0; i < 4; ++i) {
    word = word << 8 | static_cast<std::uint8_t>(key[position]);
    position = (position + 1) % key.size();
  }
  return word;
}

void Expand(Schedule& schedule, std::string_view key) {
  auto pi = BlowfishPiWords.begin();
  for (auto& entry : schedule.P) entry = *pi++;
  for (auto& box : schedule.S) {
    for (auto& entry : box) entry = *pi++;
  }
  std::size_t position = 0;
  for (auto& entry : schedule.P) entry ^= KeyWord(key, position);
  std::uint64_t block = 0;
  const auto fill = [&](auto& words) {
    for (std::size_t i = 0; i < words.size(); i += 2) {
      block = Encrypt(schedule, block);
      words[i] = static_cast<std::uint32_t>(block >> 32);
      words[i + 1] = static_cast<std::uint32_t>(block);
    }
  };
  fill(schedule.P);
  for (auto& box : schedule.S) fill(box);
}

// Overwrites memory in a way the optimiser may not drop as a dead store.
void Wipe(void* memory, std::size_t size) noexcept {
  volatile auto* bytes = static_cast<volatile std::uint8_t*>(memory);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

}  // namespace

TBlowfish::TBlowfish(std::string_view key) {
  if (key.empty() || key.size() > MaxKeyBytes) {
    throw std::runtime_error("Blowfish key of " + std::to_string(key.size()) + " bytes (1 to 56 allowed)");
  }
  Expand(schedule_, key);
  keyed_ = true;
}

TBlowfish::~TBlowfish() { Burn(); }

void TBlowfish::RequireKey() const {
  if (!keyed_) throw std::logic_error("Blowfish key schedule was burnt");
}

void TBlowfish::EncryptBlock(Block& block) const {
  RequireKey();
  std::uint64_t value = Encrypt(schedule_, ValueOf(block));
  for (std::size_t i = BlockSize; i-- > 0; value >>= 8) block[i] = static_cast<std::uint8_t>(value);
}

void TBlowfish::SetChaining(const Block& chaining) {
  RequireKey();
  register_ = ValueOf(chaining);
}

void TBlowfish::EncryptFeedback(std::string& bytes) {
  RequireKey();
  for (char& byte : bytes) {
    const auto cipherByte =
        static_cast<std::uint8_t>(static_cast<std::uint8_t>(byte) ^ TopByte(Encrypt(schedule_, register_)));
    byte = static_cast<char>(cipherByte);
    register_ = Shifted(register_, cipherByte);
  }
}

// The register before each byte is made of cipher bytes alone, all known
// before deciphering starts: blocks of four bytes go through together, and
// every piece of a long run starts from the eight cipher bytes before it.
void TBlowfish::DecryptFeedback(std::string& bytes) {
  RequireKey();
  auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
  const std::size_t size = bytes.size();
  const std::uint64_t start = register_;
  register_ = RegisterAfter(start, data, size);
  // Every piece's register is taken before any piece is deciphered in place.
  const std::size_t pieces = (size + PieceBytes - 1) / PieceBytes;
  std::vector<std::uint64_t> chaining;
  for (std::size_t piece = 0; piece < pieces; ++piece)
    chaining.push_back(RegisterAfter(start, data, piece * PieceBytes));
  std::atomic<std::size_t> nextPiece = 0;
  const auto decipherPieces = [&] {
    for (std::size_t piece = nextPiece++; piece < pieces; piece = nextPiece++) {
      const std::size_t from = piece * PieceBytes;
      DecryptRun(schedule_, chaining[piece], data + from, std::min(PieceBytes, size - from));
    }
  };
  std::vector<std::jthread> helpers;  // each joined when it goes out of scope, also after a failure
  for (std::size_t worker = 1; worker < WorkersFor(size, pieces); ++worker) helpers.emplace_back(decipherPieces);
  decipherPieces();
}

void TBlowfish::Burn() noexcept {
  Wipe(&schedule_, sizeof schedule_);
  Wipe(&register_, sizeof register_);
  keyed_ = false;
}
