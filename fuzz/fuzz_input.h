#pragma once
// What the fuzz targets share: reading choices off the front of an input,
// the model catalogues (built once per process, as each command builds one),
// and a COM line whose far side sends the rest of the input
// (`TScriptedComLine`).
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "model/catalogue_builder.h"
#include "model/model_list.h"
#include "model/soubory.h"
#include "tests/scripted_com_line.h"
#include "transport/nastaveni.h"

/// The settings of the fuzzed COM ports: slot 1, COM1 at 9600 bit/s.
inline TNastaveni FuzzComSettings() {
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.ComPort[1] = 1;
  settings.BaudRate[1] = 9600;
  return settings;
}

/// The input as bytes, with choices taken off its front.
class TFuzzInput {
public:
  TFuzzInput(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  /// The next byte, 0 when none is left.
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
  }

  std::string_view Rest() const { return rest_; }

private:
  std::string_view rest_;
};

/// The catalogue of the model at `index` of the model list (modulo its size,
/// one past the end: the default layout without a model). The first call
/// builds the catalogues of every model, so that only the first input pays
/// for them and the later inputs all run at the same pace.
inline TSoubory& FuzzCatalogue(std::uint8_t index) {
  static const std::vector<std::unique_ptr<TSoubory>> catalogues = [] {
    std::vector<std::unique_ptr<TSoubory>> built;
    for (const auto& model : Models) built.push_back(BuildCatalogue(model.Name));
    built.push_back(BuildCatalogue(std::string_view()));
    return built;
  }();
  return *catalogues[index % catalogues.size()];
}

/// A table of the catalogue chosen by `choice` among those with an interpreter.
inline TSoubor* FuzzTable(TSoubory& catalogue, std::uint8_t choice) {
  for (int step = 0; step < TSoubory::MaxTableNumber; ++step) {
    TSoubor* table = catalogue.Table(1 + (choice + step) % TSoubory::MaxTableNumber);
    if (table && table->Interpreter) return table;
  }
  return nullptr;
}

/// The file a target hands the input to, rewritten for every input and
/// removed at the end of the process: in memory (/dev/shm) where there is
/// such a folder, since creating and removing a file on disk for every input
/// took a good share of the run.
class TFuzzScratchFile {
public:
  explicit TFuzzScratchFile(const std::string& name) {
    std::error_code error;
    const std::filesystem::path memory = "/dev/shm";
    const auto folder = std::filesystem::is_directory(memory, error) ? memory : std::filesystem::temp_directory_path();
    path_ = (folder / (name + "_" + std::to_string(::getpid()) + ".txt")).string();
  }
  ~TFuzzScratchFile() { std::remove(path_.c_str()); }
  TFuzzScratchFile(const TFuzzScratchFile&) = delete;
  TFuzzScratchFile& operator=(const TFuzzScratchFile&) = delete;

  /// Replaces the file's content with `content`; returns the file's path.
  const std::string& Hold(std::string_view content) const {
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    return path_;
  }

private:
  std::string path_;
};
