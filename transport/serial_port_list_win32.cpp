#include "transport/serial_port_list.h"

#include <string>

#include "transport/serial_ports.h"

// The ports Windows registered (HARDWARE\DEVICEMAP\SERIALCOMM), each under the
// device name the COM layer opens.
std::vector<TSerialDevice> ListSerialDevices() {
  std::vector<TSerialDevice> devices;
  for (const TSerialPort& port : PresentSerialPorts())
    devices.push_back(TSerialDevice{port.Device, {}, {port.ComNumber}});
  return devices;
}

std::string SerialPortListNote() {
  return "These are the COM ports Windows knows (HARDWARE\\DEVICEMAP\\SERIALCOMM); the\n"
         "device manager shows the adapter behind each and changes its number. A\n"
         "line's service opens its port under the service's own account.\n";
}
