#pragma once
// TDataStream: a file written and read as a sequence of texts, either lightly
// scrambled or enciphered with the text cipher of the communication log.
//
// Every text is one record; all lengths are 16-bit unsigned, least significant
// byte first.
//   scrambled:  length L, then L bytes, each XOR the scramble byte, which
//               steps down after every byte and runs on across the whole file;
//   enciphered: piece count n = L / 10 + 1, then n pieces, each a length and
//               the cipher text (Base64) of the next ten bytes of the text;
//               the last piece holds the rest and may be empty.
// Both the scramble byte and the cipher's chaining state start afresh only
// when the file is opened, so a file must be read in the order it was
// written.
//
// An enciphered file is read ahead of the caller in batches of whole texts,
// so that many texts are deciphered in one go (a long run on several
// processors); while the caller works through one batch, the next is
// deciphered on other threads and the one after it read from the file. A failure met while reading ahead is
// reported when the caller asks for the text it struck; the texts before it
// come first.
//
// The stream owns its file handle and its cipher between Open* and Close.
// After a failure the stream stays open; the caller closes it.
#include <array>
#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/input_file.h"
#include "base/text_cipher.h"

class EDataStreamReadError : public std::runtime_error {
public:
  explicit EDataStreamReadError(const std::string& message) : std::runtime_error(message) {}
};

class EDataStreamWriteError : public std::runtime_error {
public:
  explicit EDataStreamWriteError(const std::string& message) : std::runtime_error(message) {}
};

/// Texts gathered to be written together: their bytes one after another and
/// the length of each.
struct TTextBatch {
  std::string Bytes;
  std::vector<std::size_t> Lengths;

  void Add(std::string_view text) {
    Bytes.append(text);
    Lengths.push_back(text.size());
  }
  bool Empty() const { return Lengths.empty(); }
};

class TDataStream {
public:
  /// Remembers the path and the mode; opens nothing.
  TDataStream(std::string path, bool enciphered);
  ~TDataStream();
  TDataStream(const TDataStream&) = delete;
  TDataStream& operator=(const TDataStream&) = delete;

  /// Largest file read: far beyond any register's journal.
  static constexpr std::uint64_t MaxReadSize = std::uint64_t{1} << 32;

  /// Opens the existing regular file for reading. Throws std::runtime_error
  /// with the read message when the file cannot be opened.
  void OpenRead();
  /// Creates the file as a new one: a file or link already under the name is
  /// never opened. Throws std::runtime_error with the write message when it
  /// cannot.
  void OpenWrite();

  /// The next text; empty while no file is open. Throws EDataStreamReadError
  /// when the file fails or ends inside the record (message ending in ": 1").
  std::string ReadString();
  /// Reads the next text and tells whether it is `text`, without keeping a
  /// copy of it (an enciphered stream); fails as ReadString does.
  bool ReadStringEqualTo(std::string_view text);
  /// Whether the file holds nothing after the texts read so far (true while
  /// no file is open). Part of a text counts as something. Throws
  /// EDataStreamReadError when the file cannot be read.
  bool AtEnd();
  /// Writes one record; nothing while no file is open. Throws
  /// EDataStreamWriteError when the file fails or the text is too long for
  /// its 16-bit length fields.
  void WriteString(std::string_view text);

  /// WriteString in two halves, for texts gathered in batches: EncipherBatch
  /// enciphers (or scrambles) a batch's bytes in place, the chaining running
  /// on; WriteEncipheredBatch then writes its records. The file gets the
  /// same bytes as from WriteString for each text in turn. The first half
  /// touches only the cipher, the second only the file, so one thread may
  /// encipher a batch while another writes the one before; every batch
  /// passes both halves in the same order, with no WriteString between.
  /// WriteEncipheredBatch fails as WriteString does; nothing while no file
  /// is open.
  void EncipherBatch(TTextBatch& batch);
  void WriteEncipheredBatch(const TTextBatch& batch);

  /// Writes out what is buffered and asks the system to put the file's data
  /// on the disk. Throws EDataStreamWriteError when it cannot.
  void FlushToDisk();

  /// Burns the cipher, drops the texts read ahead and closes the file;
  /// nothing when already closed. A written file whose buffered bytes cannot
  /// be written out throws EDataStreamWriteError, after the handle has been
  /// closed all the same.
  void Close();

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  /// Bytes taken from the file since opening, length fields included (an
  /// enciphered stream also counts what it has read ahead).
  std::uint64_t BytesRead() const { return bytesRead_; }

private:
  void Prepare(bool forWriting);
  void ReadBytes(char* target, std::size_t count);
  void FillReadBuffer();
  std::string_view NextBytes(std::size_t count, std::string& spill);
  void WriteBytes(const char* source, std::size_t count);
  std::uint16_t ReadLength();
  /// Texts taken from the file together and deciphered on other threads,
  /// ready when `Ready` is; then handed out one after another.
  struct TBatchAhead {
    std::string Bytes;
    std::vector<std::size_t> Lengths;
    std::optional<EDataStreamReadError> Failure;
    bool FailureAtTextStart = false;
    std::future<void> Ready;
    std::size_t TextsTaken = 0;
    std::size_t BytesTaken = 0;

    bool HasText() const { return TextsTaken < Lengths.size(); }
    std::string_view TakeText();
  };
  std::string_view NextText();
  bool TakeTextsAhead();
  TBatchAhead GatherBatch();
  void StartDeciphering(TBatchAhead batch);
  void HandOut(TBatchAhead batch);
  void DropBatchesAhead() noexcept;
  void ReadCipherBytesOfText(std::string& cipherBytes);
  void WriteLength(std::size_t length);
  void AppendLength(std::size_t length, std::string& out) const;
  std::array<char, 2> LengthField(std::size_t length) const;
  [[noreturn]] void FailRead(const std::string& reason) const;
  [[noreturn]] void FailWrite(const std::string& reason) const;

  std::string path_;
  std::unique_ptr<TInputFile> input_;  // owns file_ while reading
  std::FILE* file_ = nullptr;
  bool enciphered_;
  bool writing_ = false;
  std::uint8_t scramble_ = 0;
  std::unique_ptr<TTextCipher> cipher_;
  std::uint64_t bytesRead_ = 0;
  std::string readBuffer_;
  std::size_t readPosition_ = 0;
  std::size_t readEnd_ = 0;
  TBatchAhead batchHandedOut_;
  std::string spareBytes_;
  std::optional<EDataStreamReadError> failureAhead_;
  /// Whether the reading ahead failed where a text would have begun.
  bool failureAtTextStart_ = false;
  std::size_t readAheadBytes_ = 0;
  std::optional<TBatchAhead> batchDeciphering_;
  std::optional<TBatchAhead> batchGathered_;
};

/// The messages of the stream's failures (code page 1250): the path and the
/// system's reason, "1" for a short read or write.
std::string DataStreamReadMessage(std::string_view path, std::string_view reason);
std::string DataStreamWriteMessage(std::string_view path, std::string_view reason);
