#pragma once

#include "CRegistryKey.h"
#include "platform/DevicePathInfo.h"
#include "platform/MessageSink.h"
#include "port/PortSettings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalo {

// A drop-down list as the main window holds it: its entries, the selected
// position (-1 for none) and whether it can be used.
struct ListControl {
    std::vector<std::string> items;
    // Shown beside the entry of the same position, never as part of its
    // name; shorter than items when the last entries have none.
    std::vector<std::string> descriptions;
    int selected = -1;
    bool enabled = true;

    std::string SelectedText() const;
    void Select(int position) { selected = position >= 0 && position < int(items.size()) ? position : -1; }
    // The list's own prefix search: case-insensitive, from position 1 round to
    // position 0; nothing selected when no entry begins with prefix.
    void SelectBeginningWith(const std::string& prefix);
    // A device path is chosen by the whole path only (/dev/ttyUSB1 is not
    // /dev/ttyUSB10), and added at the end when it is not listed: a saved
    // device is taken as it stands. Any other name by its start, as above.
    void SelectPort(const std::string& name);
};

// The main window's connection settings without the window: the members the
// handlers work on, the controls they fill and read, and the rules between
// them. The Qt window shows this state and copies its controls back; kaloctl
// runs the same rules to preselect a printer.
class ConnectionForm {
public:
    static constexpr const char* kDefaultAddress = "192.168.1.100";
    static constexpr int32_t kDefaultTcpPort = 9100;
    static constexpr const char* kNoUsbPrinter = "Printer is not connected by USB.\nPlease, turn on the printer!!";
    static const std::vector<std::string> kSerialPorts;
    static const std::vector<std::string> kParallelPorts;
    static const std::vector<std::string> kBaudRates;

    ConnectionForm();

    // Members.
    std::string registryKey;
    std::string targetPrinter;
    std::string portName;
    int32_t flowControl = 0;
    int32_t baudRate = 0;
    int32_t dataBits = 0;
    int32_t parity = 0;
    int32_t stopBits = 0;
    PortKind interfaceKind = PortKind::Serial;
    int32_t tcpPort = 0;
    // Whether Preselect found the printer's key and took the port it names;
    // the window changes nothing otherwise, kaloctl refuses the name.
    bool preselected = false;

    // Controls.
    ListControl portList;
    ListControl baudList;
    ListControl dataBitsList;
    ListControl parityList; // also takes typed text, which selects nothing
    ListControl stopBitsList;
    ListControl flowList;
    PortKind interfaceRadio = PortKind::Serial; // the checked radio button
    std::string tcpPortText = "0";
    bool tcpPortEnabled = false;
    int ipFields[4] = {0, 0, 0, 0};
    bool ipEnabled = false;

    // Finds the USB printers for the USB list; none when not set.
    std::function<std::vector<std::string>()> enumerateUsb;
    // The serial and parallel devices present, listed after the fixed
    // COM and LPT entries; none when not set.
    std::function<std::vector<platform::DevicePathInfo>()> enumerateSerial;
    std::function<std::vector<platform::DevicePathInfo>()> enumerateParallel;
    platform::MessageSink* messages = nullptr;

    // Copies the radio group and the TCP port box to the members (true) or back.
    void UpdateData(bool saveAndValidate);

    // What the window does when it opens (after the first UpdateData):
    // default address, port lists, initial selections, preselection.
    void InitDialog(const CRegistryKey& registry);

    void FillPortList(PortKind kind);
    // A USB printer came or went while none is connected: the USB list
    // again, the selected entry kept while it is listed. Never a message and
    // never another interface; the list may be empty.
    void RefillUsbList();
    void Preselect(const CRegistryKey& registry);
    void ReadWindowsPortSettings(const CRegistryKey& registry);
    void ReadCustomPortSettings(const CRegistryKey& registry);
    // The TCP port of a preselected network printer, once its address is in portName.
    void ReadPresetTcpPort(const CRegistryKey& registry, const std::string& key, const char* valueName);
    void ReadLineSettings();

    // The interface radio buttons, after the port has been closed.
    void InterfaceSerial();
    void InterfaceParallel();
    void InterfaceUsb();
    void InterfaceEthernet();

    // Check Communication's preparation: the settings record from the controls.
    PortSettings BuildPortSettings();
    // Whether the port's spooler queues are to be redirected first.
    static bool NeedsSpoolerRedirect(const std::string& name);

    std::string IpAddressText() const;
};

} // namespace kalo
