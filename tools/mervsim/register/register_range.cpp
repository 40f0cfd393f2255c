// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#include "tools/mervsim/register/register_range.h"

#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "base/code_page.h"
#include "tools/mervsim/register/fault_injector.h"
#include "tools/mervsim/register/register_data.h"
#include "tools/mervsim/register/register_emulator.h"
#include "tools/mervsim/register/register_setup.h"
#include "tools/mervsim/line/sim_transport.h"
#include "tools/mervsim/line/wire_log.h"

namespace {

/// One register of the range with everything it owns; its server borrows the emulator.
class TRangeRegister {
public:
  TRangeRegister(const TSimOptions& options, int port, bool faulty)
      : data_(options.ModelName),
        faults_(faulty ? options.Faults : TFaultOptions{}),
        log_(options.LogPath.empty() ? std::string() : options.LogPath + "." + std::to_string(port)) {
    FillRegisterData(data_, options);
    settings_ = EmulatorSettings(options, data_.Catalogue());
    log_.Note(Cp1250ToUtf8(DescribeRegister(options, settings_, data_)) + (faulty ? ", faulty" : ""));
    emulator_ = std::make_unique<TRegisterEmulator>(data_, settings_, faults_, log_);
    server_ = std::make_unique<TSimServer>(*emulator_, TLineSettings{port, {}, false, options.LineSpeed});
  }

  void Open() { server_->Open(); }
  void Serve() { server_->Serve(); }

private:
  TRegisterData data_;
  TEmulatorSettings settings_;
  TFaultInjector faults_;
  TWireLog log_;
  std::unique_ptr<TRegisterEmulator> emulator_;
  std::unique_ptr<TSimServer> server_;
};

}  // namespace

int RunRegisterRange(const TSimOptions& options) {
  const TTcpRange& range = *options.TcpRange;
  const int firstFaulty = range.Count - range.Faulty.value_or(range.Count);
  std::vector<std::unique_ptr<TRangeRegister>> registers;
  registers.reserve(static_cast<std::size_t>(range.Count));
  InstallStopSignals();
  for (int index = 0; index < range.Count; ++index) {
    registers.push_back(std::make_unique<TRangeRegister>(options, range.First + index, index >= firstFaulty));
    registers.back()->Open();
  }
  AnnounceListening("tcp 127.0.0.1:" + std::to_string(range.First) + "-" +
                    std::to_string(range.First + range.Count - 1));
  std::cerr << "mervsim: " << range.Count << " registers";
  if (range.Faulty) std::cerr << ", the last " << *range.Faulty << " with the fault options";
  std::cerr << std::endl;
  std::vector<std::thread> servers;
  servers.reserve(registers.size());
  for (int index = 0; index < range.Count; ++index) {
    servers.emplace_back([&registers, index, port = range.First + index] {
      try {
        registers[static_cast<std::size_t>(index)]->Serve();
      } catch (const std::exception& failure) {
        std::cerr << "mervsim: register on port " << port << " stopped: " << failure.what() << std::endl;
      }
    });
  }
  for (auto& server : servers) server.join();
  return 0;
}
