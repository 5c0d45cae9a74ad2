#include "connect/SpoolerQueues.h"
#include "platform/cups/CupsSpooler.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cups/cups.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kalo;
using platform::PortMap;

TEST(PortTextOf, NamesDevicesInPortTerms)
{
    const PortMap ports([](const char* name) -> const char* {
        return std::string(name) == "KALO_PORT_COM2" ? "/dev/ttyUSB0" : nullptr;
    });
    const std::pair<const char*, const char*> rows[] = {
        {"serial:/dev/ttyS0?baud=9600+bits=8", "COM1:"}, {"serial:/dev/ttyS9", "COM10:"},
        {"serial:/dev/ttyUSB0?baud=19200", "COM2:"}, {"serial:/dev/ttyS1", "/dev/ttyS1"}, // COM2 is elsewhere: the path
        {"parallel:/dev/lp2", "LPT3:"}, {"usb://KEMTRAN/TLR-740II?serial=1", "USB001"},
        {"socket://10.1.2.3:9100/?waiteof=false", "IP_10.1.2.3"}, {"file:///dev/null", "FILE:"},
        {"ipp://host/printers/q", "ipp://host/printers/q"},
    };
    for (const auto& [uri, text] : rows)
        EXPECT_EQ(PortTextOf(uri, ports), text) << uri;
}

// The substring rule and the restore are kaloctl's tests, the restore on
// closing and the registry view of the queues the main window's.

// The redirection against a real CUPS scheduler of the test's own, on a
// socket in a private folder. The scheduler changes queues only for root.
class PrivateCups : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0 || access("/usr/sbin/cupsd", X_OK) != 0)
            GTEST_SKIP() << "a private cupsd needs root and cupsd (Debian: cups-daemon)";
        char folder[] = "/tmp/kalo-cups-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_dir = folder;
        for (const char* sub : {"/etc", "/bin", "/bin/backend", "/state", "/cache", "/spool", "/spool/tmp", "/log"})
            mkdir((m_dir + sub).c_str(), 0755);
        chmod(m_dir.c_str(), 0755);
        // The scheduler only asks that a scheme's backend exists; nothing is printed here.
        for (const std::string link : {"daemon", "notifier", "backend/serial", "backend/parallel", "backend/socket", "backend/usb"})
            symlink(link[0] == 'b' ? "/bin/true" : ("/usr/lib/cups/" + link).c_str(), (m_dir + "/bin/" + link).c_str());
        const std::string& d = m_dir;
        std::ofstream(d + "/etc/cups-files.conf")
            << "ServerRoot " << d << "/etc\nServerBin " << d << "/bin\nStateDir " << d << "/state\nCacheDir " << d
            << "/cache\nRequestRoot " << d << "/spool\nTempDir " << d << "/spool/tmp\nAccessLog " << d
            << "/log/access_log\nErrorLog " << d << "/log/error_log\nPageLog " << d << "/log/page_log\n"
            << "SystemGroup root\nPeerCred on\nUser lp\nGroup lp\n";
        // Peer credentials are only looked at for requests that match a location.
        std::ofstream(d + "/etc/cupsd.conf")
            << "Listen " << d << "/cups.sock\nBrowsing No\nWebInterface No\nLogLevel warn\n<Policy default>\n"
            << "<Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer>\nAuthType Default\nRequire user @SYSTEM\n"
            << "Order deny,allow\n</Limit>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n"
            << "<Location />\nOrder allow,deny\nAllow all\n</Location>\n";
        m_cupsd = std::make_unique<test::ChildProcess>(
            "/usr/sbin/cupsd", std::vector<std::string>{"-f", "-c", d + "/etc/cupsd.conf", "-s", d + "/etc/cups-files.conf"});
        m_server = "CUPS_SERVER=" + d + "/cups.sock";
        for (int i = 0; i < 100 && access((d + "/cups.sock").c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(access((d + "/cups.sock").c_str(), F_OK), 0) << "cupsd did not start";
        setenv("CUPS_SERVER", (d + "/cups.sock").c_str(), 1);
        cupsSetServer((d + "/cups.sock").c_str());
    }
    void TearDown() override
    {
        m_cupsd.reset();
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }
    // lpadmin with these arguments, or lpstat -v's list of devices.
    std::string Admin(const std::vector<std::string>& args)
    {
        const auto run = test::RunProgram(args.empty() ? "/usr/bin/lpstat" : "/usr/sbin/lpadmin", args.empty() ? std::vector<std::string>{"-v"} : args, {m_server});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }

    std::string m_dir, m_server;
    std::unique_ptr<test::ChildProcess> m_cupsd;
};

TEST_F(PrivateCups, RedirectsAndRestoresRealQueues)
{
    for (const auto& [name, uri] : {std::pair{"office", "serial:/dev/ttyS0?baud=19200+bits=8+parity=none"},
                                    {"labels", "serial:/dev/ttyS9"}, {"lpt-a", "parallel:/dev/lp0"},
                                    {"lpt-b", "parallel:/dev/lp0"}, {"net", "socket://10.1.2.3:9100"}})
        Admin({"-p", name, "-v", uri, "-E"});
    const std::string before = Admin({});

    platform::CupsSpooler spooler;
    std::vector<platform::SpoolerQueue> queues;
    ASSERT_TRUE(spooler.ListQueues(queues)); // the redirects below show what it listed
    const PortMap ports([](const char*) -> const char* { return nullptr; });
    SavedPrinterPorts saved;
    RedirectSpoolerQueues(spooler, ports, "LPT1", saved);
    EXPECT_EQ(Admin({}), "device for labels: serial:/dev/ttyS9\ndevice for lpt-a: ///dev/null\n"
                         "device for lpt-b: ///dev/null\ndevice for net: socket://10.1.2.3:9100\n"
                         "device for office: serial:/dev/ttyS0?baud=19200+bits=8+parity=none\n");
    // A second redirect, of the same port or another, keeps what the first saved.
    RedirectSpoolerQueues(spooler, ports, "LPT1", saved);
    RedirectSpoolerQueues(spooler, ports, "COM1", saved);
    EXPECT_EQ(Admin({}), "device for labels: ///dev/null\ndevice for lpt-a: ///dev/null\n"
                         "device for lpt-b: ///dev/null\ndevice for net: socket://10.1.2.3:9100\n"
                         "device for office: ///dev/null\n");

    RestoreSpoolerQueues(spooler, saved);
    EXPECT_EQ(Admin({}), before);

    m_cupsd.reset();
    saved.clear();
    EXPECT_FALSE(spooler.ListQueues(queues));
    RedirectSpoolerQueues(spooler, ports, "LPT1", saved);
    EXPECT_TRUE(saved.empty());
}
