#pragma once
// TOverlappedTextWriter: writes many texts to a TDataStream with the stream's
// cipher on a thread of its own, so that the cipher is all that stands
// between the first text and the last byte on the disk.
//
// The cipher of an enciphered stream is one chain through the whole file
// (each byte's cipher waits for the cipher byte before it) and cannot be
// split; everything else can run beside it. The caller's texts are gathered
// into batches; a cipher thread enciphers one batch after another, and a
// writing thread turns each enciphered batch into the file's records
// (lengths, Base64) and writes it, forcing the data to the disk as it goes.
// On two processors the caller's own work (making the texts) and the writing
// share the one the cipher does not use.
//
// A failure on any side stops the others. The first one is thrown to the
// caller, by its next Write or by Finish, as it was thrown. Dropping the
// writer without Finish stops both threads and leaves the file unfinished;
// either way the caller disposes of the file.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>

#include "base/data_stream.h"

class TOverlappedTextWriter {
public:
  /// Starts the two threads for a stream opened for writing. The stream is
  /// theirs until Finish returns or the writer is dropped.
  explicit TOverlappedTextWriter(TDataStream& stream);
  ~TOverlappedTextWriter();
  TOverlappedTextWriter(const TOverlappedTextWriter&) = delete;
  TOverlappedTextWriter& operator=(const TOverlappedTextWriter&) = delete;

  /// Hands one text over, written as TDataStream::WriteString would write
  /// it. Waits while the threads are far behind. Throws the first failure of
  /// either thread.
  void Write(std::string_view text);

  /// Hands over what is gathered, waits until all is written and forced to
  /// the disk, and ends the threads. Throws the first failure of either
  /// thread; the stream is then left open for the caller to close.
  void Finish();

private:
  using Queue = std::deque<TTextBatch>;

  void HandOver(TTextBatch batch);
  void EncipherBatches();
  void WriteBatches();
  bool TakeBatch(Queue& queue, const bool& noMoreComing, TTextBatch& batch);
  bool PutBatch(Queue& queue, TTextBatch batch);
  void Fail(std::exception_ptr failure);
  void Stop();
  void ThrowFailure();

  TDataStream& stream_;
  TTextBatch gathering_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Queue toEncipher_;
  Queue toWrite_;
  bool allHandedOver_ = false;
  bool allEnciphered_ = false;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread cipherThread_;
  std::thread writingThread_;
};
