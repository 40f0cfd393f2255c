#include "app/output_file.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

TOutputFile::TOutputFile(std::string target) : target_(std::move(target)), temporary_(target_ + ".tmp") {
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) throw std::runtime_error("cannot create " + temporary_);
}

TOutputFile::~TOutputFile() {
  if (committed_) return;
  out_.close();
  std::error_code ignored;  // a temporary that cannot be removed harms nothing
  std::filesystem::remove(temporary_, ignored);
}

void TOutputFile::Write(std::string_view bytes) {
  out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out_) throw std::runtime_error("cannot write " + temporary_);
}

void TOutputFile::Commit() {
  out_.close();
  if (!out_) throw std::runtime_error("cannot write " + temporary_);
  std::error_code error;
  std::filesystem::rename(temporary_, target_, error);
  if (error) throw std::runtime_error("cannot replace " + target_ + ": " + error.message());
  committed_ = true;
}
