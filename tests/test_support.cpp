// Shared helpers of the test programs that every platform builds.
#include "test_support.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "base/code_page.h"
#include "base/data_stream.h"
#include "base/platform.h"
#include "base/kom_error.h"

std::string Cp(std::string_view utf8) { return Utf8ToCp1250(utf8); }

std::string WithPlatformSeparators(std::string path) {
  std::replace(path.begin(), path.end(), '/', PathSeparator());
  return path;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int value : values) bytes += static_cast<char>(value);
  return bytes;
}

std::string AllByteValues() {
  std::string bytes;
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  return bytes;
}

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() / ("merv-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string WriteTexts(const std::filesystem::path& file, bool enciphered, const std::vector<std::string>& texts) {
  TDataStream out(file.string(), enciphered);
  out.OpenWrite();
  for (const auto& text : texts) out.WriteString(text);
  out.Close();
  return ReadFileBytes(file);
}

std::uint16_t LengthAt(const std::string& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                    static_cast<std::uint8_t>(bytes[offset + 1]) << 8);
}

int ErrorNumberRaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& failure) {
    return FailureNumberOf(failure);
  }
  return 0;
}
