#include "port/CPrinterPort.h"
#include "port/UsbPrinterSearch.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

using namespace kalo;
using platform::UsbPrinterInfo;
using sim::InProcessPlatform;

namespace {

UsbPrinterInfo Device(int lp, const std::string& vendor, const std::string& product, const std::string& serial = "")
{
    return {"/dev/usb/lp" + std::to_string(lp), vendor, product, serial};
}

const uint8_t kFirmwareQuery[] = {0x1D, 0x49, 0x41};

} // namespace

// The family's three models are kaloctl list-usb's and the main window's rows.
TEST(FindUsbPrinters, EntryTextFollowsTheFamilyTable)
{
    const std::pair<UsbPrinterInfo, const char*> rows[] = { // "" when the device is not listed
        {Device(2, "7a3c", "001f", "a b&c"), "740II:/dev/usb/lp2?vid_7a3c&pid_001f&serial=a b&c"},
        {Device(3, "7a3c", "0020"), ""}, // the vendor's, not the family's
        {Device(4, "04b8", "001d"), ""}, // a family product id under another vendor
        {Device(5, "7A3C", "001e"), ""}, // the vendor id is matched case-sensitively
        // A serial that carries another row's product id: the first row the path contains wins.
        {Device(7, "7a3c", "001f", "pid_001d"), "740plusII:/dev/usb/lp7?vid_7a3c&pid_001f&serial=pid_001d"},
    };
    for (const auto& [device, entry] : rows) {
        InProcessPlatform machine;
        machine.usbPrinters = {device};
        std::ostringstream lines;
        const UsbPrinterSearch search = FindUsbPrinters(machine, lines);
        EXPECT_EQ(search.printers.empty() ? "" : search.printers[0].text, entry);
        EXPECT_EQ(machine.openDevices, 0) << entry; // each probe closes what it opened
    }
}

// A device the user may not open, and the lines of the devices tried, are
// kaloctl list-usb's test.
TEST(FindUsbPrinters, APathTooLongIsRefusedWholeNeverCut)
{
    InProcessPlatform machine;
    const UsbPrinterInfo open = Device(1, "7a3c", "001d", "O");
    // A serial that makes the path 256 characters long.
    const UsbPrinterInfo tooLong = Device(2, "7a3c", "001f", std::string(256 - 38, 'S'));
    ASSERT_EQ(UsbDevicePath(tooLong).size(), 256u);
    machine.usbPrinters = {open, tooLong};
    std::ostringstream lines;
    const UsbPrinterSearch search = FindUsbPrinters(machine, lines);

    ASSERT_EQ(search.printers.size(), 1u);
    EXPECT_EQ(search.printers[0].text, "740plusII:" + UsbDevicePath(open));
    EXPECT_EQ(machine.lastOpenedPath, open.node); // the long one was never tried
    ASSERT_EQ(search.refused.size(), 1u);
    EXPECT_EQ(search.refused[0].device, tooLong);
    EXPECT_EQ(platform::DescribeFailure(search.refused[0].failure, ""),
              "open /dev/usb/lp2: the device path has more than 255 characters");

    machine.versionWord = 0xC0000A04; // a 95/98/Me word: devices are opened, nothing is listed
    EXPECT_TRUE(FindUsbPrinters(machine, lines).printers.empty());
}

TEST(FindUsbPrinters, StopsAtTheFirstBlockEndByWhichADeviceOpened)
{
    const struct {
        int devices;
        int refusedFirst; // how many of the first devices cannot be opened
        std::vector<int> listed;
        long endIndex;
    } rows[] = {
        {10, 0, {0, 1, 2, 3, 4, 5, 6, 7}, -1}, // a device by index 7 ends the walk there
        {10, 8, {8, 9}, 10}, // nothing by index 7: the walk goes on, and the list runs out
        {20, 8, {8, 9, 10, 11, 12, 13, 14, 15}, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refusedFirst);
        InProcessPlatform machine;
        for (int lp = 0; lp < row.devices; ++lp) {
            machine.usbPrinters.push_back(Device(lp, "7a3c", "001e", std::to_string(lp)));
            if (lp < row.refusedFirst)
                machine.usbRefusedNodes.push_back(machine.usbPrinters.back().node);
        }
        std::ostringstream lines;
        const UsbPrinterSearch search = FindUsbPrinters(machine, lines);
        std::vector<int> listed;
        for (const UsbPrinterEntry& printer : search.printers)
            listed.push_back(std::stoi(printer.device.serial));
        EXPECT_EQ(listed, row.listed);
        EXPECT_EQ(search.endIndex, row.endIndex);
    }
}

// Which printer an entry opens is kaloctl's test; here the bound on a read.
TEST(CUsbPort, AReadGivesUpAfterThreeSeconds)
{
    InProcessPlatform machine;
    machine.usbPrinters = {Device(0, "7a3c", "001e")};
    CPrinterPort port(machine);
    EXPECT_EQ(port.Configure(PortSettings{"742plusII:"}), 0); // no device path
    ASSERT_EQ(port.Configure(PortSettings{"742plusII:" + UsbDevicePath(machine.usbPrinters[0])}), 1);
    ASSERT_EQ(port.Open(), 1);
    uint8_t buffer[16];
    const int64_t start = machine.Clock().NowMicros();
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0); // nothing sent
    EXPECT_EQ(machine.Clock().NowMicros() - start, 3000000);
    EXPECT_TRUE(port.LastFailure().Empty());
}

// Pulled out and plugged back in on another node, first with nothing but
// the transfers to find it out, then with the notices as udev gives them (a
// removal, then an arrival on another node) and a query to remove, fed to the
// port as the system would. Another printer of the same model is never taken.
TEST(CUsbPort, FollowsItsPrinterOffAndBackOnAnotherNode)
{
    using platform::UsbNoticeAnswer;
    using enum platform::UsbNoticeKind;
    using enum CUsbPort::Presence;
    InProcessPlatform machine;
    auto& notices = machine.UsbWatcher();
    const UsbPrinterInfo printer = Device(0, "7a3c", "001e", "K1"), other = Device(1, "7a3c", "001e", "K2");
    machine.usbPrinters = {other, printer};
    CUsbPort usb(machine);
    EXPECT_EQ(usb.GetPresence(), NeverOpened);
    ASSERT_EQ(usb.Configure(PortSettings{UsbDevicePath(printer)}), 1);
    ASSERT_EQ(usb.Open(), 1);
    EXPECT_EQ(usb.GetPresence(), Present);

    machine.usbUnplugged = true;
    EXPECT_EQ(usb.Write(kFirmwareQuery, 3), 0);
    EXPECT_EQ(usb.GetPresence(), Removed);
    EXPECT_EQ(usb.LastFailure().result, platform::kErrNoDevice);
    EXPECT_EQ(machine.openDevices, 0); // the removed device is closed
    uint8_t buffer[8];
    EXPECT_EQ(usb.Read(buffer, sizeof buffer), 0);

    // Plugged back in, the driver numbers it lp4; lp1 is another printer.
    machine.usbUnplugged = false;
    machine.usbPrinters = {other, Device(4, "7a3c", "001e", "K1")};
    EXPECT_EQ(usb.Write(kFirmwareQuery, 3), 3); // no new Open
    EXPECT_EQ(usb.GetPresence(), Present);
    EXPECT_EQ(machine.lastOpenedPath, "/dev/usb/lp4");
    EXPECT_GT(usb.Read(buffer, sizeof buffer), 0);

    // Only the open node's query is denied; nothing changes either way.
    EXPECT_EQ(notices.Deliver({QueryRemove, "/dev/usb/lp4"}), UsbNoticeAnswer::Denied);
    EXPECT_EQ(notices.Deliver({QueryRemove, "/dev/usb/lp1"}), UsbNoticeAnswer::Granted);
    EXPECT_EQ(notices.Deliver({RemoveComplete, "/dev/usb/lp1"}), UsbNoticeAnswer::Granted);
    EXPECT_EQ(usb.GetPresence(), Present);
    EXPECT_EQ(machine.openDevices, 1);

    // Pulled out: the notice closes the device before any transfer fails.
    machine.usbUnplugged = true;
    machine.usbPrinters = {other};
    notices.Feed({RemoveComplete, "/dev/usb/lp4"});
    notices.DeliverPending();
    EXPECT_EQ(usb.GetPresence(), Removed);
    EXPECT_EQ(machine.openDevices, 0);
    EXPECT_EQ(usb.Write(kFirmwareQuery, 3), 0);
    EXPECT_EQ(notices.Deliver({QueryRemove, "/dev/usb/lp4"}), UsbNoticeAnswer::Granted);

    // Back in as lp3: the arrival reopens it there, before any transfer.
    machine.usbUnplugged = false;
    machine.usbPrinters = {other, Device(3, "7a3c", "001e", "K1")};
    EXPECT_EQ(notices.Deliver({Arrival, "/dev/usb/lp3"}), UsbNoticeAnswer::Granted);
    EXPECT_EQ(usb.GetPresence(), Present);
    EXPECT_EQ(machine.lastOpenedPath, "/dev/usb/lp3");
    EXPECT_EQ(notices.Deliver({QueryRemove, "/dev/usb/lp3"}), UsbNoticeAnswer::Denied);

    // Without an event loop the notices waiting are handed out before a
    // transfer; with one, never in the middle of a handler's transfers.
    notices.SetDeliveredByEventLoop(true);
    notices.Feed({RemoveComplete, "/dev/usb/lp3"});
    EXPECT_EQ(usb.Write(kFirmwareQuery, 3), 3);
    EXPECT_EQ(usb.GetPresence(), Present);
    notices.DeliverPending();
    EXPECT_EQ(usb.GetPresence(), Removed);
    notices.SetDeliveredByEventLoop(false);
    usb.Close();
    notices.Deliver({Arrival, "/dev/usb/lp3"}); // a closed port hears nothing
    EXPECT_EQ(machine.openDevices, 0);
}
