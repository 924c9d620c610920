#include "platform/linux/serial_ports_linux.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_folder.h"

namespace qz {
namespace {

TEST(SerialPortsTest, ListsTheSerialDevicesUnderARootInGroupsAndNaturalOrder) {
  test::TempFolder dir;
  const std::filesystem::path root = dir.path();
  auto make = [&](const std::string& path, const std::string& content = "") {
    std::filesystem::create_directories((root / path).parent_path());
    std::ofstream(root / path) << content;
  };
  for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyS1", "ttyUSB1", "ttyUSB0", "ttyACM0",
                           "ttyUSB", "ttyS1x", "tty0", "ttyAMA0", "console"})
    make(std::string("dev/") + name);
  make("dev/serial/by-id/usb-Sierra_Wireless_MC7304-if03-port0");
  make("dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
  // The kernel says ttyS1 has no UART behind it; ttyS2 has one; ttyS0 and ttyS10 say nothing.
  make("sys/class/tty/ttyS1/type", "0\n");
  make("sys/class/tty/ttyS2/type", "4\n");

  EXPECT_EQ(list_serial_ports_under(root),
            (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0",
                                      "/dev/ttyUSB1", "/dev/ttyACM0",
                                      "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0",
                                      "/dev/serial/by-id/usb-Sierra_Wireless_MC7304-if03-port0"}));
  EXPECT_TRUE(list_serial_ports_under(root / "nothing-here").empty());
}

}  // namespace
}  // namespace qz
