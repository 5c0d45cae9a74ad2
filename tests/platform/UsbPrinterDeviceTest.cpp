#include "platform/posix/PosixUsbPrinterDevice.h"
#include "platform/posix/SysfsDevices.h"
#include "support/DescriptorsKept.h"
#include "support/FakeSysfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

using namespace kalo::platform;
using kalo::test::FakeSysfs;

TEST(ListSysfsUsbPrinters, KeepsWellFormedDevicesInLpOrder)
{
    FakeSysfs tree;
    tree.AddPrinter(10, "7a3c", "001e", "K10", "1-3");
    tree.AddPrinter(2, "7a3c", "001d", "  odd serial ", "1-1");
    tree.AddPrinter(6, "04b8", "0202", std::nullopt, "1-2"); // no serial: listed with an empty one
    tree.AddPrinter(3, std::nullopt, "001e", "S3", "1-4");   // no idVendor
    tree.AddPrinter(4, "zz12", "001e", "S4", "1-5");         // not hexadecimal
    tree.AddPrinter(5, "7a3c", "", "S5", "1-6");             // empty product id
    tree.AddPrinter(7, "7a3c", "001e", "S7", std::string(240, 'x')); // a folder path of 256 characters and more
    for (const char* name : {"lp8", "lpx"}) // pointing nowhere
        std::filesystem::create_directory_symlink("../../devices/gone", tree.sysfsRoot + "/class/usbmisc/" + name);
    std::ofstream(tree.sysfsRoot + "/class/usbmisc/lp9") << "a plain file\n";
    EXPECT_EQ(ListSysfsUsbPrinters(tree.sysfsRoot, tree.devRoot),
              (std::vector<UsbPrinterInfo>{{tree.devRoot + "/usb/lp2", "7a3c", "001d", "  odd serial "},
                                           {tree.devRoot + "/usb/lp6", "04b8", "0202", ""},
                                           {tree.devRoot + "/usb/lp10", "7a3c", "001e", "K10"}}));
    EXPECT_TRUE(ListSysfsUsbPrinters(tree.sysfsRoot + "/none", tree.devRoot).empty());
}

// A printer pulled out and back on another node is the port's test.
TEST(PosixUsbPrinterDevice, BoundsReadsAndRefusesWhatIsNoDevice)
{
    const kalo::test::DescriptorsKept kept;
    FakeSysfs tree;
    std::ofstream(tree.devRoot + "/plain") << "x";
    PosixUsbPrinterDevice refused, device;
    EXPECT_EQ(refused.Open(tree.devRoot + "/plain"), kErrNotSupported);
    EXPECT_NE(refused.Open(tree.devRoot), kOk); // a folder
    EXPECT_EQ(refused.Open(tree.devRoot + "/usb/lp0"), kErrNoDevice);

    kalo::test::PtyPair pty;
    ASSERT_EQ(device.Open(pty.path), kOk);
    uint8_t buffer[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device.Read(buffer, sizeof buffer, 50000), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
    EXPECT_TRUE(device.LastFailure().Empty());

    pty.CloseMaster(); // the printer is pulled out
    EXPECT_EQ(device.Read(buffer, sizeof buffer, 1000000), kErrNoDevice);
    EXPECT_EQ(device.LastFailure().call, "read");
    device.Close();
}

// Adapters first, by number (ttyUSB10 after ttyUSB2), then the built-in
// ports that have a UART; each described by the USB device above it.
TEST(ListSysfsSerialDevices, ListsAdaptersThenUartsDescribedFromUsb)
{
    FakeSysfs tree;
    const auto usb = [](const std::string& vendor, const std::string& maker, const std::string& serial) {
        return std::vector<std::pair<std::string, std::string>>{
            {"idVendor", vendor}, {"idProduct", "6001"}, {"manufacturer", maker}, {"product", "USB UART"}, {"serial", serial}};
    };
    tree.AddClassDevice("tty", "ttyUSB10", "1-2", usb("0403", "FTDI", "A5"));
    tree.AddClassDevice("tty", "ttyUSB2", "1-1", usb("zz", "Odd", ""));  // ids that are no ids: no description
    tree.AddClassDevice("tty", "ttyACM0", "1-3", usb("2341", "", "")); // the product alone
    tree.AddClassDevice("tty", "ttyS1", "", {{"type", "0"}});           // no UART behind it
    tree.AddClassDevice("tty", "ttyS0", "", {{"type", "4"}});
    tree.AddClassDevice("printer", "lp1", "", {});
    const std::string dev = tree.devRoot + "/";
    EXPECT_EQ(ListSysfsSerialDevices(tree.sysfsRoot, tree.devRoot),
              (std::vector<DevicePathInfo>{{dev + "ttyUSB2"}, {dev + "ttyUSB10", "FTDI USB UART, serial A5", "0403", "6001", "A5"},
                                           {dev + "ttyACM0", "USB UART", "2341", "6001", ""}, {dev + "ttyS0"}}));
    EXPECT_EQ(ListSysfsParallelDevices(tree.sysfsRoot, tree.devRoot), (std::vector<DevicePathInfo>{{dev + "lp1"}}));
}
