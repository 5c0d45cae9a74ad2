#include "platform/posix/PosixUsbPrinterDevice.h"
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

// Bytes both ways, and a printer pulled out and back, are the port's test on a pty.
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
