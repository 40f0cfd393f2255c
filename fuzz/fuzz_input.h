#pragma once
// What the fuzz targets share: reading choices off the front of an input,
// the model catalogues (built once per process, as each command builds one),
// and a COM line whose far side sends the rest of the input.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "model/catalogue_builder.h"
#include "model/model_list.h"
#include "model/soubory.h"
#include "transport/com_layer.h"

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
/// one past the end: the default layout without a model).
inline TSoubory& FuzzCatalogue(std::uint8_t index) {
  static std::map<std::size_t, std::unique_ptr<TSoubory>> catalogues;
  const std::size_t slot = index % (Models.size() + 1);
  auto& catalogue = catalogues[slot];
  if (!catalogue) catalogue = BuildCatalogue(slot < Models.size() ? Models[slot].Name : std::string_view());
  return *catalogue;
}

/// A table of the catalogue chosen by `choice` among those with an interpreter.
inline TSoubor* FuzzTable(TSoubory& catalogue, std::uint8_t choice) {
  for (int step = 0; step < TSoubory::MaxTableNumber; ++step) {
    TSoubor* table = catalogue.Table(1 + (choice + step) % TSoubory::MaxTableNumber);
    if (table && table->Interpreter) return table;
  }
  return nullptr;
}

/// A COM line whose far side sends the given bytes, in pieces as they are
/// asked for, and records nothing. A read with nothing left returns no bytes.
class TFuzzComLayer : public TComLayer {
public:
  explicit TFuzzComLayer(std::string_view incoming) : pending_(incoming.begin(), incoming.end()) {}

  int sio_open(int) override { return 0; }
  int sio_ioctl(int, int, int) override { return 0; }
  int sio_flowctrl(int, int) override { return 0; }
  int sio_SetWriteTimeouts(int, std::int32_t) override { return 0; }
  int sio_write(int, const char*, int length) override { return length; }
  int sio_SetReadTimeouts(int, std::int32_t, std::int32_t) override { return 0; }
  int sio_read(int, char* buffer, int length) override {
    int count = 0;
    while (count < length && !pending_.empty()) {
      buffer[count++] = pending_.front();
      pending_.pop_front();
    }
    return count;
  }
  int sio_flush(int, int) override { return 0; }
  int sio_close(int) override { return 0; }

private:
  std::deque<char> pending_;
};
