#pragma once

#include "platform/PortMap.h"
#include "platform/RegistryValue.h"
#include "platform/Spooler.h"

namespace kalo {

// The print queues seen as the registry entries the preselection reads:
//   ...\Control\Print\Printers\<queue>            Port        "COM3:", "LPT1:", "USB001", "IP_<host>"
//   ...\Windows NT\CurrentVersion\Ports           "COMn:"     "9600,n,8,1" from the serial URI's options (SerialSettingsText.h)
//   ...\Standard TCP/IP Port\Ports\IP_<host>      PortNumber  the socket URI's port (9100 when absent)
class CupsRegistryView final : public platform::RegistrySource {
public:
    CupsRegistryView(platform::Spooler& spooler, const platform::PortMap& ports);
    bool Find(const std::string& keyPath, const std::string& valueName, platform::RegistryValue& value) const override;

private:
    platform::Spooler& m_spooler;
    const platform::PortMap& m_ports;
};

} // namespace kalo
