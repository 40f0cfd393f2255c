#include "base/data_stream.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <vector>

#include "base/base64.h"
#include "base/durable_file.h"
#include "base/text_cipher_key.h"

namespace {

// Files written with other values are not interchangeable with these.
constexpr std::uint8_t ScrambleStart = 0xA7;
constexpr std::uint8_t ScrambleStep = 0x3B;
constexpr std::size_t PieceLength = 10;
constexpr std::size_t MaxLength = 0xFFFF;
constexpr std::size_t BufferSize = 1 << 16;
// Reading ahead (counted in file bytes) starts small, so that looking at the
// first text of a file costs little, and doubles up to its limit. Larger
// batches read a long journal faster (fewer hand-overs between the threads),
// up to about this size; three batches are held at a time.
constexpr std::size_t FirstReadAheadBytes = 1 << 12;
constexpr std::size_t MaxReadAheadBytes = 1 << 23;
constexpr std::string_view ShortTransfer = "1";

std::string Formatted(std::string_view prefix, std::string_view path, std::string_view reason) {
  std::string message(prefix);
  message.append(path).append("\" do\x9Alo k chyb\xEC: ").append(reason);
  return message;
}

std::string SystemReason(int error) { return std::strerror(error); }

}  // namespace

// "Při čtení ze souboru \"%s\" došlo k chybě: %s" in code page 1250.
std::string DataStreamReadMessage(std::string_view path, std::string_view reason) {
  return Formatted("P\xF8i \xE8ten\xED ze souboru \"", path, reason);
}

// "Při zápisu do souboru \"%s\" došlo k chybě: %s" in code page 1250.
std::string DataStreamWriteMessage(std::string_view path, std::string_view reason) {
  return Formatted("P\xF8i z\xE1pisu do souboru \"", path, reason);
}

TDataStream::TDataStream(std::string path, bool enciphered) : path_(std::move(path)), enciphered_(enciphered) {}

TDataStream::~TDataStream() {
  try {
    Close();
  } catch (const EDataStreamWriteError&) {
    // A stream dropped without Close belongs to a failure already on its way;
    // its own write failure must not replace that one.
  }
}

void TDataStream::OpenRead() {
  Close();
  try {
    input_ = std::make_unique<TInputFile>(path_, MaxReadSize);
  } catch (const std::system_error& failure) {
    throw std::runtime_error(DataStreamReadMessage(path_, SystemReason(failure.code().value())));
  }
  file_ = input_->Stream();
  Prepare(false);
}

void TDataStream::OpenWrite() {
  Close();
  try {
    file_ = CreateNewFile(path_);
  } catch (const std::system_error& failure) {
    throw std::runtime_error(DataStreamWriteMessage(path_, SystemReason(failure.code().value())));
  }
  Prepare(true);
}

void TDataStream::Prepare(bool forWriting) {
  static_cast<void>(std::setvbuf(file_, nullptr, _IOFBF, BufferSize));
  writing_ = forWriting;
  scramble_ = ScrambleStart;
  bytesRead_ = 0;
  readPosition_ = 0;
  readEnd_ = 0;
  batchHandedOut_ = {};
  failureAhead_.reset();
  failureAtTextStart_ = false;
  readAheadBytes_ = FirstReadAheadBytes;
  if (enciphered_) {
    cipher_ = std::make_unique<TTextCipher>(TextCipherKey);
    cipher_->Reset();
  }
}

void TDataStream::Close() {
  DropBatchesAhead();  // a thread may be deciphering with the cipher burnt below
  if (cipher_) {
    cipher_->Burn();
    cipher_.reset();
  }
  batchHandedOut_ = {};  // deciphered texts do not outlive the stream's use
  spareBytes_ = {};
  if (file_ == nullptr) return;
  std::FILE* file = file_;
  file_ = nullptr;
  if (!writing_) {
    input_.reset();
    return;
  }
  const bool flushed = std::fflush(file) == 0;
  const int error = errno;
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed) FailWrite(SystemReason(flushed ? errno : error));
}

void TDataStream::FlushToDisk() {
  if (file_ == nullptr) return;
  const int error = SyncFileToDisk(file_);
  if (error != 0) FailWrite(SystemReason(error));
}

void TDataStream::FailRead(const std::string& reason) const {
  throw EDataStreamReadError(DataStreamReadMessage(path_, reason));
}

void TDataStream::FailWrite(const std::string& reason) const {
  throw EDataStreamWriteError(DataStreamWriteMessage(path_, reason));
}

// Reads through a buffer of its own: the texts come in pieces of a few bytes,
// and a library call per piece costs more than the copying.
void TDataStream::ReadBytes(char* target, std::size_t count) {
  while (count > 0) {
    if (readPosition_ == readEnd_) FillReadBuffer();
    const std::size_t taken = std::min(count, readEnd_ - readPosition_);
    std::memcpy(target, readBuffer_.data() + readPosition_, taken);
    readPosition_ += taken;
    bytesRead_ += taken;
    target += taken;
    count -= taken;
  }
}

// The next `count` bytes of the file: a view into the read buffer when they
// lie in it, else a copy in `spill`.
std::string_view TDataStream::NextBytes(std::size_t count, std::string& spill) {
  if (readEnd_ - readPosition_ < count) {
    spill.assign(count, '\0');
    ReadBytes(spill.data(), count);
    return spill;
  }
  const std::string_view bytes(readBuffer_.data() + readPosition_, count);
  readPosition_ += count;
  bytesRead_ += count;
  return bytes;
}

void TDataStream::FillReadBuffer() {
  readBuffer_.resize(BufferSize);
  readEnd_ = std::fread(readBuffer_.data(), 1, readBuffer_.size(), file_);
  readPosition_ = 0;
  if (readEnd_ > 0) return;
  if (std::ferror(file_)) FailRead(SystemReason(errno));
  FailRead(std::string(ShortTransfer));
}

void TDataStream::WriteBytes(const char* source, std::size_t count) {
  errno = 0;
  if (std::fwrite(source, 1, count, file_) == count) return;
  FailWrite(errno != 0 ? SystemReason(errno) : std::string(ShortTransfer));
}

std::uint16_t TDataStream::ReadLength() {
  unsigned char bytes[2];
  if (readEnd_ - readPosition_ >= sizeof bytes) {  // nearly always: straight from the buffer
    std::memcpy(bytes, readBuffer_.data() + readPosition_, sizeof bytes);
    readPosition_ += sizeof bytes;
    bytesRead_ += sizeof bytes;
  } else {
    ReadBytes(reinterpret_cast<char*>(bytes), sizeof bytes);
  }
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::array<char, 2> TDataStream::LengthField(std::size_t length) const {
  if (length > MaxLength) FailWrite("text longer than " + std::to_string(MaxLength) + " bytes");
  return {static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
}

void TDataStream::WriteLength(std::size_t length) {
  const auto field = LengthField(length);
  WriteBytes(field.data(), field.size());
}

void TDataStream::AppendLength(std::size_t length, std::string& out) const {
  const auto field = LengthField(length);
  out.append(field.data(), field.size());
}

std::string TDataStream::ReadString() {
  if (file_ == nullptr) return {};
  if (!enciphered_) {
    std::string text(ReadLength(), '\0');
    ReadBytes(text.data(), text.size());
    for (char& c : text) {
      c = static_cast<char>(static_cast<std::uint8_t>(c) ^ scramble_);
      scramble_ = static_cast<std::uint8_t>(scramble_ - ScrambleStep);
    }
    return text;
  }
  return std::string(NextText());
}

bool TDataStream::ReadStringEqualTo(std::string_view text) {
  if (!enciphered_ || file_ == nullptr) return ReadString() == text;
  return NextText() == text;
}

std::string_view TDataStream::NextText() {
  if (!batchHandedOut_.HasText() && !TakeTextsAhead()) throw *failureAhead_;
  return batchHandedOut_.TakeText();
}

std::string_view TDataStream::TBatchAhead::TakeText() {
  const std::string_view text = std::string_view(Bytes).substr(BytesTaken, Lengths[TextsTaken++]);
  BytesTaken += text.size();
  return text;
}

// Texts read ahead go through three stages: a batch is gathered from the
// file, deciphered on other threads while the next one is gathered, and
// handed out. Whether texts are ahead now.
bool TDataStream::TakeTextsAhead() {
  if (!batchDeciphering_) {
    if (failureAhead_) return false;
    StartDeciphering(GatherBatch());
  }
  batchDeciphering_->Ready.get();  // before the bytes move; rethrows what failed there
  TBatchAhead batch = std::move(*batchDeciphering_);
  batchDeciphering_.reset();
  if (!batch.Failure) {
    StartDeciphering(batchGathered_ ? std::move(*batchGathered_) : GatherBatch());
    batchGathered_.reset();
    if (!batchDeciphering_->Failure) batchGathered_ = GatherBatch();
  }
  HandOut(std::move(batch));
  return batchHandedOut_.HasText();
}

// Takes whole texts from the file until the read-ahead size of file bytes is
// reached or the file fails.
TDataStream::TBatchAhead TDataStream::GatherBatch() {
  TBatchAhead batch;
  batch.Bytes = std::move(spareBytes_);
  batch.Bytes.clear();
  // Base64 makes four characters of three bytes; the last text may run over.
  batch.Bytes.reserve(readAheadBytes_ / 4 * 3 + MaxLength);
  std::size_t complete = 0;
  const std::uint64_t limit = bytesRead_ + readAheadBytes_;
  std::uint64_t textStart = bytesRead_;
  try {
    while (bytesRead_ < limit) {
      textStart = bytesRead_;
      ReadCipherBytesOfText(batch.Bytes);
      batch.Lengths.push_back(batch.Bytes.size() - complete);
      complete = batch.Bytes.size();
    }
  } catch (const EDataStreamReadError& failure) {
    batch.Failure = failure;
    batch.FailureAtTextStart = bytesRead_ == textStart;
    batch.Bytes.resize(complete);
  }
  readAheadBytes_ = std::min(2 * readAheadBytes_, MaxReadAheadBytes);
  return batch;
}

// The cipher's register runs through the batches in file order, as it did
// when they were written: a batch starts only after the one before it has
// been deciphered. A small batch (a whole table file, the first batches of
// a journal), or one for which no thread can be had, is deciphered when it
// is taken.
void TDataStream::StartDeciphering(TBatchAhead batch) {
  constexpr std::size_t MinBytesOnAThread = 1 << 16;
  const std::launch policy =
      batch.Bytes.size() < MinBytesOnAThread ? std::launch::deferred : std::launch::async | std::launch::deferred;
  TBatchAhead& deciphering = batchDeciphering_.emplace(std::move(batch));
  deciphering.Ready =
      std::async(policy, [cipher = cipher_.get(), bytes = &deciphering.Bytes] { cipher->DecryptBytes(*bytes); });
}

void TDataStream::HandOut(TBatchAhead batch) {
  if (batch.Failure) {
    failureAhead_ = batch.Failure;  // reported after the texts before it
    failureAtTextStart_ = batch.FailureAtTextStart;
  }
  // The memory of the batch handed out before holds the next batch read: a
  // fresh block of some megabytes costs its pages' clearing every time.
  spareBytes_ = std::move(batchHandedOut_.Bytes);
  batchHandedOut_ = std::move(batch);
}

// A batch being deciphered on a thread is waited for, not read: its texts go
// with the stream's use. One left for the reading thread is not deciphered.
void TDataStream::DropBatchesAhead() noexcept {
  if (batchDeciphering_ && batchDeciphering_->Ready.valid() &&
      batchDeciphering_->Ready.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) {
    batchDeciphering_->Ready.wait();
  }
  batchDeciphering_.reset();
  batchGathered_.reset();
}

void TDataStream::ReadCipherBytesOfText(std::string& cipherBytes) {
  const std::uint16_t pieces = ReadLength();
  std::string spill;
  for (std::uint16_t i = 0; i < pieces; ++i) {
    const std::string_view piece = NextBytes(ReadLength(), spill);
    try {
      AppendDecodedBase64(piece, cipherBytes);
    } catch (const std::invalid_argument& malformed) {
      FailRead(malformed.what());
    }
  }
}

bool TDataStream::AtEnd() {
  if (file_ == nullptr) return true;
  if (batchHandedOut_.HasText()) return false;
  if (batchDeciphering_ && TakeTextsAhead()) return false;
  if (failureAhead_) {
    if (std::ferror(file_)) throw *failureAhead_;
    return failureAtTextStart_;
  }
  if (readPosition_ < readEnd_) return false;
  readBuffer_.resize(BufferSize);
  readPosition_ = 0;
  readEnd_ = std::fread(readBuffer_.data(), 1, readBuffer_.size(), file_);
  if (readEnd_ > 0) return false;
  if (std::ferror(file_)) FailRead(SystemReason(errno));
  return true;
}

void TDataStream::WriteString(std::string_view text) {
  if (file_ == nullptr) return;
  if (!enciphered_) {
    WriteLength(text.size());
    std::string scrambled(text);
    for (char& c : scrambled) {
      c = static_cast<char>(static_cast<std::uint8_t>(c) ^ scramble_);
      scramble_ = static_cast<std::uint8_t>(scramble_ - ScrambleStep);
    }
    WriteBytes(scrambled.data(), scrambled.size());
    return;
  }
  const std::size_t pieces = text.size() / PieceLength + 1;
  WriteLength(pieces);
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string cipherText = cipher_->EncryptString(text.substr(i * PieceLength, PieceLength));
    WriteLength(cipherText.size());
    WriteBytes(cipherText.data(), cipherText.size());
  }
}

void TDataStream::EncipherBatch(TTextBatch& batch) {
  if (file_ == nullptr) return;
  if (enciphered_) {
    cipher_->EncryptBytes(batch.Bytes);
    return;
  }
  for (char& c : batch.Bytes) {
    c = static_cast<char>(static_cast<std::uint8_t>(c) ^ scramble_);
    scramble_ = static_cast<std::uint8_t>(scramble_ - ScrambleStep);
  }
}

// The records of a whole batch are put together first and written with one
// call: the pieces are a few bytes each.
void TDataStream::WriteEncipheredBatch(const TTextBatch& batch) {
  if (file_ == nullptr) return;
  std::string records;
  records.reserve(2 * batch.Bytes.size() + 4 * batch.Lengths.size());
  std::string_view rest(batch.Bytes);
  for (const std::size_t length : batch.Lengths) {
    const std::string_view text = rest.substr(0, length);
    rest.remove_prefix(length);
    if (!enciphered_) {
      AppendLength(length, records);
      records.append(text);
      continue;
    }
    const std::size_t pieces = length / PieceLength + 1;
    AppendLength(pieces, records);
    for (std::size_t i = 0; i < pieces; ++i) {
      const std::string_view piece = text.substr(std::min(i * PieceLength, length), PieceLength);
      AppendLength((piece.size() + 2) / 3 * 4, records);
      AppendEncodedBase64(piece, records);
    }
  }
  WriteBytes(records.data(), records.size());
}
