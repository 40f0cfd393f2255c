// The pause of 1 ms of quiet before every frame the port writes: the time one
// write takes when the line was used just before it, over a COM layer that
// takes every byte at once. Everything above 1 ms and the write's own cost
// (the run with no pause) is the pause's overshoot.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "transport/nastaveni.h"
#include "base/platform.h"
#include "transport/com_layer.h"
#include "transport/port.h"

namespace {

class InstantLine : public TComLayer {
public:
  int sio_open(int) override { return 0; }
  int sio_ioctl(int, int, int) override { return 0; }
  int sio_flowctrl(int, int) override { return 0; }
  int sio_SetWriteTimeouts(int, std::int32_t) override { return 0; }
  int sio_write(int, const char*, int length) override { return length; }
  int sio_SetReadTimeouts(int, std::int32_t, std::int32_t) override { return 0; }
  int sio_read(int, char*, int) override { return 0; }
  int sio_flush(int, int) override { return 0; }
  int sio_close(int) override { return 0; }
};

void BM_WriteAfterPause(benchmark::State& state) {
  UsePreciseSleeps();  // as the module does at start
  InstantLine line;
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.ComPort[1] = 1;
  settings.BaudRate[1] = 19200;
  TPort port(line, {std::chrono::milliseconds(state.range(0))});
  port.Open(settings, 1);
  const std::string frame("\xD7\x06\xD1\x52", 4);
  for (auto _ : state) benchmark::DoNotOptimize(port.Write(frame));
}
// Argument: the pause in ms; 0 shows what the write itself costs.
BENCHMARK(BM_WriteAfterPause)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same 1 ms as a plain sleep, for comparison on the same machine and load.
void BM_PlainSleepOfOneMillisecond(benchmark::State& state) {
  UsePreciseSleeps();
  for (auto _ : state) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
BENCHMARK(BM_PlainSleepOfOneMillisecond)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
