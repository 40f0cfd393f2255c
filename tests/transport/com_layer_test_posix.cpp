// The termios COM layer on a pseudo-terminal: what each call does to the
// line, and its results at the edges.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <thread>

#include "port_test_support.h"
#include "transport/com_layer.h"

namespace {

constexpr int Line = 7;

class ComLayerOnPty : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(layer.sio_open(Line), ComResult::Ok); }
  void TearDown() override { layer.sio_close(Line); }

  termios LineAttributes() const { return pty.SlaveAttributes(); }

  void WaitUntilDelivered() const { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

  PtyPeer pty{Line};
  TComLayer& layer = SystemComLayer();
};

TEST(BaudCodes, FollowTheLibraryTableBothWays) {
  EXPECT_EQ(BaudCodeOf(50), 0);
  EXPECT_EQ(BaudCodeOf(7200), 11);
  EXPECT_EQ(BaudCodeOf(19200), 13);
  EXPECT_EQ(BaudCodeOf(921600), 19);
  EXPECT_EQ(BaudCodeOf(14400), -1);
  EXPECT_EQ(BaudCodeOf(0), -1);
  for (int code = 0; code < 20; ++code) EXPECT_EQ(BaudCodeOf(BaudRateOfCode(code)), code);
  EXPECT_EQ(BaudRateOfCode(20), 0);
  EXPECT_EQ(BaudRateOfCode(-1), 0);
}

TEST(ComDevicePath, EnvironmentThenSettingsFileThenTtyS) {
  TempDir config;
  std::filesystem::create_directories(config / "Kelmora");
  WriteFileBytes(config / "Kelmora" / "VOR-Manager.ini", "[Ver2]\nCOM5=wrong\n[Ports]\nCOM5=/dev/ttyUSB0\n");
  const ScopedEnvironment configHome("XDG_CONFIG_HOME", config.path().c_str());
  {
    const ScopedEnvironment variable("MERV_COM5", "/dev/pts/42");
    EXPECT_EQ(ComDevicePath(5), "/dev/pts/42");
  }
  const ScopedEnvironment noVariable("MERV_COM5", nullptr);
  EXPECT_EQ(ComDevicePath(5), "/dev/ttyUSB0");
  EXPECT_EQ(ComDevicePath(6), "/dev/ttyS5");
}

TEST(ComLayer, RefusesLinesItCannotOpenOrHasNotOpened) {
  TComLayer& layer = SystemComLayer();
  EXPECT_EQ(layer.sio_open(0), ComResult::BadPort);
  const ScopedEnvironment missing("MERV_COM9", "/nonexistent/tty");
  EXPECT_EQ(layer.sio_open(9), ComResult::OpenFailed);
  char byte = 0;
  EXPECT_EQ(layer.sio_read(9, &byte, 1), ComResult::BadPort);
  EXPECT_EQ(layer.sio_write(9, &byte, 1), ComResult::BadPort);
  EXPECT_EQ(layer.sio_SetReadTimeouts(9, 10, 0), ComResult::BadPort);
  EXPECT_EQ(layer.sio_flush(9, ComFlush::Both), ComResult::BadPort);
  EXPECT_EQ(layer.sio_close(9), ComResult::BadPort);
}

TEST_F(ComLayerOnPty, OpensRawAndOnlyOnce) {
  const termios attributes = LineAttributes();
  EXPECT_EQ(attributes.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(layer.sio_open(Line), ComResult::OpenFailed);
}

// A device another open file holds is refused, as the Windows layer refuses
// it: a second module process would otherwise talk into a dialled call.
TEST(ComLayer, OpensOnlyADeviceNobodyHolds) {
  struct Case {
    const char* holder;
    bool layerUnderAnotherNumber;
    bool flockOfAnotherOpenFile;
    int expected;
  };
  constexpr int OtherNumber = Line + 1;
  TComLayer& layer = SystemComLayer();
  for (const Case& c : {Case{"the layer under another number", true, false, ComResult::OpenFailed},
                        Case{"a flock of another open file", false, true, ComResult::OpenFailed},
                        Case{"nobody", false, false, ComResult::Ok}}) {
    PtyPeer pty{Line};
    const ScopedEnvironment sameDevice("MERV_COM" + std::to_string(OtherNumber), pty.SlavePath().c_str());
    const int other = c.flockOfAnotherOpenFile ? ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    ASSERT_TRUE(other < 0 || ::flock(other, LOCK_EX | LOCK_NB) == 0);
    ASSERT_TRUE(!c.layerUnderAnotherNumber || layer.sio_open(OtherNumber) == ComResult::Ok);
    EXPECT_EQ(layer.sio_open(Line), c.expected) << "held by " << c.holder;
    layer.sio_close(Line);
    layer.sio_close(OtherNumber);
    if (other >= 0) ::close(other);
  }
}

#ifdef TIOCGEXCL
// A pseudo-terminal keeps the exclusive mode after the close while its master
// is open: left on, it would refuse the next command's open (but root's).
TEST(ComLayer, ExclusiveOnlyWhileOpen) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root opens an exclusive terminal to look";
  PtyPeer pty{Line};
  const auto exclusive = [&pty] {
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    int flag = -1;
    ::ioctl(fd, TIOCGEXCL, &flag);
    ::close(fd);
    return flag;
  };
  ASSERT_EQ(SystemComLayer().sio_open(Line), ComResult::Ok);
  EXPECT_EQ(exclusive(), 1);
  ASSERT_EQ(SystemComLayer().sio_close(Line), ComResult::Ok);
  EXPECT_EQ(exclusive(), 0);
}
#endif

// A modem hangs up when its line closes only if the line drops DTR then;
// a device left at -hupcl by another program would keep a call up.
TEST(ComLayer, OpenedLineHangsUpOnClose) {
  PtyPeer pty{Line};
  termios attributes = pty.SlaveAttributes();
  attributes.c_cflag &= ~HUPCL;
  pty.SetSlaveAttributes(attributes);
  TComLayer& layer = SystemComLayer();
  ASSERT_EQ(layer.sio_open(Line), ComResult::Ok);
  const tcflag_t controlFlags = pty.SlaveAttributes().c_cflag;
  layer.sio_close(Line);
  EXPECT_NE(controlFlags & HUPCL, 0u);
}

TEST(DecodeLineMode, SplitsTheModeByteIntoDataParityAndStopBits) {
  struct Case {
    int mode;
    int dataBits;
    char parity;
    int stopBits;
  };
  for (const Case& c : {Case{0x00, 5, 'N', 1}, Case{0x03, 8, 'N', 1}, Case{0x0B, 8, 'O', 1}, Case{0x1E, 7, 'E', 2},
                        Case{0x29, 6, 'M', 1}, Case{0x3F, 8, 'S', 2}}) {
    const auto format = DecodeLineMode(c.mode);
    ASSERT_TRUE(format) << c.mode;
    EXPECT_EQ(format->DataBits, c.dataBits) << c.mode;
    EXPECT_EQ(format->Parity, c.parity) << c.mode;
    EXPECT_EQ(format->StopBits, c.stopBits) << c.mode;
  }
  for (const int invalid : {0x10, 0x20, 0x30, 0x40, -1}) EXPECT_FALSE(DecodeLineMode(invalid)) << invalid;
}

// A pseudo-terminal always keeps 8 data bits and drops PARENB; the speed,
// the stop bits and the parity kind are what it shows of the line format.
TEST_F(ComLayerOnPty, IoctlSetsSpeedStopBitsAndParityKind) {
  ASSERT_EQ(layer.sio_ioctl(Line, 13, 0x08 | 2 | 4), ComResult::Ok);  // odd, 7 bits, 2 stop bits
  termios attributes = LineAttributes();
  EXPECT_EQ(::cfgetospeed(&attributes), static_cast<speed_t>(B19200));
  EXPECT_EQ(attributes.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD));
  EXPECT_NE(attributes.c_cflag & CSTOPB, 0u);

  ASSERT_EQ(layer.sio_ioctl(Line, 16, 0x38 | 3), ComResult::Ok);  // space, 8 bits, 1 stop bit
  attributes = LineAttributes();
  EXPECT_EQ(::cfgetospeed(&attributes), static_cast<speed_t>(B115200));
  EXPECT_EQ(attributes.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(CMSPAR));
  EXPECT_EQ(attributes.c_cflag & CSTOPB, 0u);
}

TEST_F(ComLayerOnPty, FlowControlSwitchesTheHardwareHandshake) {
  ASSERT_EQ(layer.sio_flowctrl(Line, ComFlow::Hardware), ComResult::Ok);
  EXPECT_NE(LineAttributes().c_cflag & CRTSCTS, 0u);
  ASSERT_EQ(layer.sio_flowctrl(Line, ComFlow::None), ComResult::Ok);
  EXPECT_EQ(LineAttributes().c_cflag & CRTSCTS, 0u);
}

TEST_F(ComLayerOnPty, RejectsUnknownParameters) {
  EXPECT_EQ(layer.sio_ioctl(Line, 20, 3), ComResult::BadParameter);
  EXPECT_EQ(layer.sio_ioctl(Line, 13, 0x10 | 3), ComResult::BadParameter);
  EXPECT_EQ(layer.sio_flowctrl(Line, 16), ComResult::BadParameter);
  EXPECT_EQ(layer.sio_flush(Line, 3), ComResult::BadParameter);
}

TEST_F(ComLayerOnPty, ReadReturnsWhatCameWithinTheTotalTimeOut) {
  char buffer[8] = {};
  ASSERT_EQ(layer.sio_SetReadTimeouts(Line, 50, 0), ComResult::Ok);
  EXPECT_EQ(layer.sio_read(Line, buffer, 4), 0);
  pty.Send("\x01\x02\x03");
  ASSERT_EQ(layer.sio_read(Line, buffer, 4), 3);
  EXPECT_EQ(std::string(buffer, 3), "\x01\x02\x03");
}

TEST_F(ComLayerOnPty, ZeroReadTimeOutTakesOnlyWhatIsThere) {
  char buffer[8] = {};
  ASSERT_EQ(layer.sio_SetReadTimeouts(Line, 0, 0), ComResult::Ok);
  EXPECT_EQ(layer.sio_read(Line, buffer, 4), 0);
  pty.Send("\x0A\x0B");
  WaitUntilDelivered();
  EXPECT_EQ(layer.sio_read(Line, buffer, 4), 2);
}

TEST_F(ComLayerOnPty, WriteReachesThePeerAndTimesOutWhenNobodyReads) {
  ASSERT_EQ(layer.sio_SetWriteTimeouts(Line, 50), ComResult::Ok);
  ASSERT_EQ(layer.sio_write(Line, "\x05\x10", 2), 2);
  EXPECT_EQ(pty.Receive(2), "\x05\x10");
  const std::string flood(1 << 20, 'x');
  EXPECT_EQ(layer.sio_write(Line, flood.data(), static_cast<int>(flood.size())), ComResult::WriteTimeout);
}

// The other side stops reading: the line fills, a write times out, and
// neither the flush nor the close that follow wait for it to read again. The
// first frame, written before the line filled, is still there to be read.
TEST_F(ComLayerOnPty, FullLineNeitherHoldsTheFlushNorTheClose) {
  ASSERT_EQ(layer.sio_SetWriteTimeouts(Line, 50), ComResult::Ok);
  ASSERT_EQ(layer.sio_write(Line, "\xFF\xFF\x00\x02", 4), 4);
  const std::string flood(1 << 20, 'x');
  ASSERT_EQ(layer.sio_write(Line, flood.data(), static_cast<int>(flood.size())), ComResult::WriteTimeout);
  EXPECT_EQ(layer.sio_flush(Line, ComFlush::Both), ComResult::Ok);
  EXPECT_EQ(layer.sio_close(Line), ComResult::Ok);
  EXPECT_EQ(pty.Receive(4), std::string("\xFF\xFF\x00\x02", 4));
  ASSERT_EQ(layer.sio_open(Line), ComResult::Ok);  // for TearDown
}

TEST(OutputDrainTime, AllowanceAndTheBytesOwnTimeWithinTheCeiling) {
  struct Case {
    std::int32_t bytes;
    std::int32_t bitsPerSecond;
    std::int32_t expectedMs;
  };
  for (const Case& c : std::initializer_list<Case>{{0, 9600, OutputDrainAllowanceMs},
                                                   {4, 19200, OutputDrainAllowanceMs + 3},
                                                   {4, 50, OutputDrainAllowanceMs + 880},
                                                   {4096, 1200, MaxOutputDrainMs},
                                                   {-1, 9600, OutputDrainAllowanceMs},
                                                   {10, 0, MaxOutputDrainMs}}) {
    EXPECT_EQ(OutputDrainTime(c.bytes, c.bitsPerSecond), c.expectedMs) << c.bytes << " bytes at " << c.bitsPerSecond;
  }
}

TEST_F(ComLayerOnPty, FlushDiscardsPendingInput) {
  pty.Send("\x01\x02");
  WaitUntilDelivered();
  ASSERT_EQ(layer.sio_flush(Line, ComFlush::Both), ComResult::Ok);
  char buffer[4];
  ASSERT_EQ(layer.sio_SetReadTimeouts(Line, 20, 0), ComResult::Ok);
  EXPECT_EQ(layer.sio_read(Line, buffer, 2), 0);
}

TEST_F(ComLayerOnPty, ClosedLineAnswersBadPort) {
  ASSERT_EQ(layer.sio_close(Line), ComResult::Ok);
  EXPECT_EQ(layer.sio_SetWriteTimeouts(Line, 10), ComResult::BadPort);
  EXPECT_EQ(layer.sio_close(Line), ComResult::BadPort);
  ASSERT_EQ(layer.sio_open(Line), ComResult::Ok);  // and it can be opened again
}

}  // namespace
