#include "connect/CRegistryKey.h"
#include "connect/CupsRegistryView.h"
#include "connect/SpoolerQueues.h"
#include "platform/MemorySpooler.h"
#include "platform/cups/CupsSpooler.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cups/cups.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kalo;
using platform::MemorySpooler;
using platform::PortMap;

TEST(PortTextOf, NamesDevicesInPortTerms)
{
    const PortMap ports([](const char* name) -> const char* {
        return std::string(name) == "KALO_PORT_COM2" ? "/dev/ttyUSB0" : nullptr;
    });
    const struct {
        const char* uri;
        const char* text;
    } rows[] = {
        {"serial:/dev/ttyS0?baud=9600+bits=8", "COM1:"},
        {"serial:/dev/ttyS9", "COM10:"},
        {"serial:/dev/ttyUSB0?baud=19200", "COM2:"},
        {"serial:/dev/ttyS1", "serial:/dev/ttyS1"}, // COM2 is elsewhere now
        {"parallel:/dev/lp2", "LPT3:"},
        {"usb://KEMTRAN/TLR-740II?serial=1", "USB001"},
        {"socket://10.1.2.3:9100/?waiteof=false", "IP_10.1.2.3"},
        {"file:///dev/null", "FILE:"},
        {"ipp://host/printers/q", "ipp://host/printers/q"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PortTextOf(row.uri, ports), row.text) << row.uri;
}

// The substring rule and the restore on closing are the main window's tests; the scheduler's own
// queues are PrivateCups's.
TEST(SpoolerQueues, ASecondRedirectKeepsWhatTheFirstSaved)
{
    MemorySpooler spooler;
    spooler.queues = {{"c", "parallel:/dev/lp0"}, {"d", "parallel:/dev/lp0"}, {"e", "socket://1.2.3.4"}};
    SavedPrinterPorts saved;
    const PortMap ports([](const char*) -> const char* { return nullptr; });
    for (int check = 0; check < 2; ++check)
        RedirectSpoolerQueues(spooler, ports, "LPT1", saved);
    EXPECT_EQ(saved, (SavedPrinterPorts{{"c", "parallel:/dev/lp0"}, {"d", "parallel:/dev/lp0"}}));
    EXPECT_EQ(spooler.UriOf("d"), kDiscardUri);
    RestoreSpoolerQueues(spooler, saved);
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(spooler.UriOf("c"), "parallel:/dev/lp0");
    EXPECT_EQ(spooler.UriOf("d"), "parallel:/dev/lp0");
}

// The redirection against a real CUPS scheduler of the test's own, on a
// socket in a private folder. The scheduler changes queues only for root.
class PrivateCups : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "a private cupsd needs root to start";
        if (access("/usr/sbin/cupsd", X_OK) != 0)
            GTEST_SKIP() << "cupsd is not installed (Debian: cups-daemon)";
        char folder[] = "/tmp/kalo-cups-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_dir = folder;
        for (const char* sub : {"/etc", "/bin", "/bin/backend", "/state", "/cache", "/spool", "/spool/tmp", "/log"})
            mkdir((m_dir + sub).c_str(), 0755);
        chmod(m_dir.c_str(), 0755);
        symlink("/usr/lib/cups/daemon", (m_dir + "/bin/daemon").c_str());
        symlink("/usr/lib/cups/notifier", (m_dir + "/bin/notifier").c_str());
        // The scheduler only asks that a scheme's backend exists; nothing is printed here.
        for (const char* backend : {"serial", "parallel", "socket", "usb"})
            symlink("/bin/true", (m_dir + "/bin/backend/" + backend).c_str());
        m_socket = m_dir + "/cups.sock";
        std::ofstream(m_dir + "/etc/cups-files.conf")
            << "ServerRoot " << m_dir << "/etc\nServerBin " << m_dir << "/bin\nStateDir " << m_dir
            << "/state\nCacheDir " << m_dir << "/cache\nRequestRoot " << m_dir << "/spool\nTempDir " << m_dir
            << "/spool/tmp\nAccessLog " << m_dir << "/log/access_log\nErrorLog " << m_dir
            << "/log/error_log\nPageLog " << m_dir << "/log/page_log\n"
            << "SystemGroup root\nPeerCred on\nUser lp\nGroup lp\n";
        std::ofstream(m_dir + "/etc/cupsd.conf")
            << "Listen " << m_socket << "\nBrowsing No\nWebInterface No\nLogLevel warn\n"
            << "<Policy default>\n<Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer>\nAuthType Default\n"
            << "Require user @SYSTEM\nOrder deny,allow\n</Limit>\n<Limit All>\nOrder deny,allow\n</Limit>\n"
            << "</Policy>\n"
            // Peer credentials are only looked at for requests that match a location.
            << "<Location />\nOrder allow,deny\nAllow all\n</Location>\n";
        m_cupsd = std::make_unique<test::ChildProcess>(
            "/usr/sbin/cupsd", std::vector<std::string>{"-f", "-c", m_dir + "/etc/cupsd.conf", "-s",
                                                        m_dir + "/etc/cups-files.conf"});
        for (int i = 0; i < 100 && access(m_socket.c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(access(m_socket.c_str(), F_OK), 0) << "cupsd did not start";
        setenv("CUPS_SERVER", m_socket.c_str(), 1);
        cupsSetServer(m_socket.c_str());
    }
    void TearDown() override
    {
        m_cupsd.reset();
        if (!m_dir.empty())
            test::RunProgram("/bin/rm", {"-rf", m_dir});
    }
    void AddQueue(const std::string& name, const std::string& uri)
    {
        const auto run = test::RunProgram("/usr/sbin/lpadmin", {"-p", name, "-v", uri, "-E"},
                                          {"CUPS_SERVER=" + m_socket});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    std::string Devices()
    {
        return test::RunProgram("/usr/bin/lpstat", {"-v"}, {"CUPS_SERVER=" + m_socket}).out;
    }

    std::string m_dir;
    std::string m_socket;
    std::unique_ptr<test::ChildProcess> m_cupsd;
};

TEST_F(PrivateCups, RedirectsAndRestoresRealQueues)
{
    AddQueue("office", "serial:/dev/ttyS0?baud=19200+bits=8+parity=none");
    AddQueue("labels", "serial:/dev/ttyS9");
    AddQueue("lpt-a", "parallel:/dev/lp0");
    AddQueue("lpt-b", "parallel:/dev/lp0");
    AddQueue("net", "socket://10.1.2.3:9100");
    const std::string before = Devices();
    ASSERT_NE(before.find("device for lpt-b: parallel:/dev/lp0"), std::string::npos) << before;

    platform::CupsSpooler spooler;
    std::vector<platform::SpoolerQueue> queues;
    ASSERT_TRUE(spooler.ListQueues(queues));
    EXPECT_EQ(queues.size(), 5u);
    const PortMap ports([](const char*) -> const char* { return nullptr; });
    SavedPrinterPorts saved;
    RedirectSpoolerQueues(spooler, ports, "LPT1", saved);
    EXPECT_EQ(Devices(), "device for labels: serial:/dev/ttyS9\ndevice for lpt-a: ///dev/null\n"
                         "device for lpt-b: ///dev/null\ndevice for net: socket://10.1.2.3:9100\n"
                         "device for office: serial:/dev/ttyS0?baud=19200+bits=8+parity=none\n");
    RedirectSpoolerQueues(spooler, ports, "COM1", saved);
    EXPECT_EQ(Devices(), "device for labels: ///dev/null\ndevice for lpt-a: ///dev/null\n"
                         "device for lpt-b: ///dev/null\ndevice for net: socket://10.1.2.3:9100\n"
                         "device for office: ///dev/null\n");

    // The registry view sees the queues too.
    const CupsRegistryView view(spooler, ports);
    std::string port;
    EXPECT_TRUE(
        CRegistryKey({&view}).ReadText("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\net", "Port", port));
    EXPECT_EQ(port, "IP_10.1.2.3");

    RestoreSpoolerQueues(spooler, saved);
    EXPECT_EQ(Devices(), before);

    m_cupsd.reset();
    saved.clear();
    EXPECT_FALSE(spooler.ListQueues(queues));
    RedirectSpoolerQueues(spooler, ports, "LPT1", saved);
    EXPECT_TRUE(saved.empty());
}
