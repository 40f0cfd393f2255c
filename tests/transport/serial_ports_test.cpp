#include "transport/serial_ports.h"

#include <gtest/gtest.h>

#include "transport/com_layer.h"

namespace {

TEST(SerialPorts, ComNumberOfAWindowsPortName) {
  struct Case {
    const char* name;
    int number;
  };
  const Case cases[] = {
      {"COM1", 1}, {"com12", 12}, {"Com255", 255}, {"COM256", 0}, {"COM0", 0}, {"COM012", 0},
      {"COM", 0},  {"COM1a", 0},  {"LPT1", 0},     {"COM-1", 0},  {"", 0},     {"COM1234", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ComNumberOfName(c.name), c.number) << c.name;
}

TEST(SerialPorts, OneLinePerPortOrSayingThereIsNone) {
  EXPECT_EQ(SerialPortListText({{1, "\\\\.\\COM1"}, {12, "\\\\.\\COM12"}}), "COM1 \\\\.\\COM1\nCOM12 \\\\.\\COM12\n");
  EXPECT_EQ(SerialPortListText({}), "no serial ports found\n");
}

TEST(SerialPorts, PresentPortsAreOrderedAndOpenedAsTheComLayerOpensThem) {
  const auto ports = PresentSerialPorts();
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(ports[i - 1].ComNumber, ports[i].ComNumber);
    }
    EXPECT_EQ(ports[i].Device, ComDevicePath(ports[i].ComNumber));
  }
}

}  // namespace
