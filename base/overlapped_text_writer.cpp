#include "base/overlapped_text_writer.h"

#include <stdexcept>
#include <utility>

namespace {

// A batch takes the cipher a few milliseconds: long against handing it
// over, short against the whole file, so the cipher starts soon and the
// writing ends soon after it.
constexpr std::size_t BatchBytes = 1 << 16;
// Batches waiting at either thread; the caller waits beyond that.
constexpr std::size_t MaxQueuedBatches = 64;
// The writing thread forces the file's data to the disk after every so many
// text bytes, so that little is left to force when the last batch is
// written.
constexpr std::size_t SyncEveryBytes = 1 << 23;

}  // namespace

TOverlappedTextWriter::TOverlappedTextWriter(TDataStream& stream) : stream_(stream) {
  try {
    cipherThread_ = std::thread(&TOverlappedTextWriter::EncipherBatches, this);
    writingThread_ = std::thread(&TOverlappedTextWriter::WriteBatches, this);
  } catch (...) {
    Stop();
    throw;
  }
}

TOverlappedTextWriter::~TOverlappedTextWriter() { Stop(); }

void TOverlappedTextWriter::Write(std::string_view text) {
  if (allHandedOver_) {
    ThrowFailure();
    throw std::logic_error("text written after Finish");
  }
  gathering_.Add(text);
  if (gathering_.Bytes.size() >= BatchBytes) HandOver(std::exchange(gathering_, {}));
}

void TOverlappedTextWriter::Finish() {
  if (!gathering_.Empty()) HandOver(std::exchange(gathering_, {}));
  {
    const std::lock_guard lock(mutex_);
    allHandedOver_ = true;
  }
  changed_.notify_all();
  cipherThread_.join();
  writingThread_.join();
  ThrowFailure();
  stream_.FlushToDisk();
}

void TOverlappedTextWriter::HandOver(TTextBatch batch) {
  if (PutBatch(toEncipher_, std::move(batch))) return;
  ThrowFailure();
  throw std::logic_error("text writer stopped");
}

void TOverlappedTextWriter::EncipherBatches() {
  try {
    TTextBatch batch;
    while (TakeBatch(toEncipher_, allHandedOver_, batch)) {
      stream_.EncipherBatch(batch);
      if (!PutBatch(toWrite_, std::move(batch))) return;
    }
    {
      const std::lock_guard lock(mutex_);
      allEnciphered_ = true;
    }
    changed_.notify_all();
  } catch (...) {
    Fail(std::current_exception());
  }
}

void TOverlappedTextWriter::WriteBatches() {
  try {
    TTextBatch batch;
    std::size_t sinceSync = 0;
    while (TakeBatch(toWrite_, allEnciphered_, batch)) {
      stream_.WriteEncipheredBatch(batch);
      sinceSync += batch.Bytes.size();
      if (sinceSync >= SyncEveryBytes) {
        stream_.FlushToDisk();
        sinceSync = 0;
      }
    }
  } catch (...) {
    Fail(std::current_exception());
  }
}

// False when the writer stops, or when the queue is empty and nothing more
// is coming into it.
bool TOverlappedTextWriter::TakeBatch(Queue& queue, const bool& noMoreComing, TTextBatch& batch) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || !queue.empty() || noMoreComing; });
  if (stopping_ || queue.empty()) return false;
  batch = std::move(queue.front());
  queue.pop_front();
  lock.unlock();
  changed_.notify_all();
  return true;
}

// False when the writer stops before the queue has room.
bool TOverlappedTextWriter::PutBatch(Queue& queue, TTextBatch batch) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || queue.size() < MaxQueuedBatches; });
  if (stopping_) return false;
  queue.push_back(std::move(batch));
  lock.unlock();
  changed_.notify_all();
  return true;
}

void TOverlappedTextWriter::Fail(std::exception_ptr failure) {
  {
    const std::lock_guard lock(mutex_);
    if (!failure_) failure_ = std::move(failure);
    stopping_ = true;
  }
  changed_.notify_all();
}

void TOverlappedTextWriter::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (cipherThread_.joinable()) cipherThread_.join();
  if (writingThread_.joinable()) writingThread_.join();
}

// Ends both threads and throws the first failure, if there was one.
void TOverlappedTextWriter::ThrowFailure() {
  std::exception_ptr failure;
  {
    const std::lock_guard lock(mutex_);
    failure = failure_;
  }
  if (!failure) return;
  Stop();
  std::rethrow_exception(failure);
}
