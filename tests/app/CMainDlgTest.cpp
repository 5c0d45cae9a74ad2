#include "app/CMainDlg.h"
#include "app/CupsRegistryView.h"
#include "status/CStatusDlg.h"
#include "platform/MemorySpooler.h"
#include "platform/RegistryFile.h"
#include "sim/InProcessPlatform.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace kalo;
using platform::MessageIcon;
using Message = platform::RecordingMessageSink::Message;

namespace {

const char kRegistryFile[] = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt COM3]
"Port"="COM3:"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt COM10]
"Port"="COM10:"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Receipt USB]
"Port"="USB001"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports]
"COM3:"="19200,n,8,1"
"COM10:"="9600,e,7,1.5,x"

[HKEY_LOCAL_MACHINE\SOFTWARE\KEMTRAN\TLR-740II\OXM\Custom]
"Port"="NET"
"TcpIp"="10.0.0.50"
"TcpPort"=dword:0000238c
)";

const std::vector<platform::SpoolerQueue> kCupsQueues = {
    {"Receipt COM3", "serial:/dev/ttyS2?baud=19200+bits=8+parity=none+flow=none"},
    {"Receipt COM10", "serial:/dev/ttyS9?baud=9600+bits=7+parity=even+flow=soft"},
    {"Receipt USB", "usb://KEMTRAN/TLR-740II?serial=0001"},
    {"Receipt Net", "socket://10.0.0.50"},
};

// The window with everything it talks to, all in this process.
struct Bench {
    explicit Bench(const std::string& target = "", sim::PrinterOptions options = {}, bool fromCups = false)
        : machine(std::move(options))
        , file(platform::RegistryFile::FromText(fromCups ? "" : kRegistryFile))
        , cups(spooler, machine.Ports())
        , registry({&file, &cups})
    {
        if (fromCups)
            spooler.queues = kCupsQueues;
        window = std::make_unique<CMainDlg>(MainWindowServices{machine, spooler, registry, fileDialogs, target});
        window->show();
    }
    template <typename T>
    T* Find(const char* name) { return window->findChild<T*>(name); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QComboBox* Combo(const char* name) { return Find<QComboBox>(name); }
    // Near the left edge: a radio button takes clicks on its circle and text only.
    void Click(const char* name)
    {
        QAbstractButton* button = Find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    QString IpAddress()
    {
        QStringList fields;
        for (int i = 0; i < 4; ++i)
            fields << Find<QLineEdit>(qPrintable(QStringLiteral("ipField%1").arg(i)))->text();
        return fields.join('.');
    }
    const std::vector<Message>& Messages() const { return machine.Recorded().Messages(); }

    sim::InProcessPlatform machine;
    platform::MemorySpooler spooler;
    platform::ScriptedFileDialogs fileDialogs;
    platform::RegistryFile file;
    CupsRegistryView cups;
    CRegistryKey registry;
    std::unique_ptr<CMainDlg> window;
};

QString Choice(QComboBox* combo)
{
    return combo->currentIndex() < 0 ? QStringLiteral("-") : combo->currentText();
}

} // namespace

class CMainDlgTest : public QObject {
    Q_OBJECT
private slots:
    void startsDisconnectedOnSerial();
    void interfaceButtons_data();
    void interfaceButtons();
    void preselection_data();
    void preselection();
    void checkCommunication_data();
    void checkCommunication();
    void connectedStateAndTheWaysOut_data();
    void connectedStateAndTheWaysOut();
    void selfTestPrintsTheTestPage();
    void runManagerOpensThePrinterStatusWindow();
    void spoolerQueuesAreRedirectedAndGivenBack();
};

void CMainDlgTest::startsDisconnectedOnSerial()
{
    Bench bench;
    QCOMPARE(bench.window->windowTitle(), QStringLiteral("TLR-740II/740plusII/742plusII KALO"));
    QVERIFY(bench.Find<QRadioButton>("radioSerial")->isChecked());
    QCOMPARE(bench.Combo("comboPort")->count(), 14);
    QCOMPARE(bench.Combo("comboPort")->itemText(9), QStringLiteral("\\\\.\\COM10"));
    QCOMPARE(Choice(bench.Combo("comboPort")), QStringLiteral("COM1"));
    QCOMPARE(Choice(bench.Combo("comboBaudRate")), QStringLiteral("9600"));
    QCOMPARE(Choice(bench.Combo("comboDataBits")), QStringLiteral("8"));
    QCOMPARE(Choice(bench.Combo("comboParity")), QStringLiteral("None"));
    QCOMPARE(Choice(bench.Combo("comboStopBits")), QStringLiteral("1"));
    QCOMPARE(Choice(bench.Combo("comboFlowControl")), QStringLiteral("Hardware"));
    QVERIFY(bench.Button("buttonCheckCommunication")->isEnabled());
    for (const char* name : {"buttonSelfTest", "buttonRunManager", "buttonCommandTestEditor"})
        QVERIFY(!bench.Button(name)->isEnabled());
    QVERIFY(!bench.Button("buttonCommandTestEditor")->toolTip().isEmpty());
    QVERIFY(!bench.Find<QWidget>("ipAddress")->isEnabled());
    QVERIFY(bench.Messages().empty());
}

void CMainDlgTest::interfaceButtons_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<bool>("lineEnabled");
    QTest::addColumn<bool>("networkEnabled");
    QTest::addColumn<int>("messages");
    const QStringList serial = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                "\\\\.\\COM10", "\\\\.\\COM11", "\\\\.\\COM12", "\\\\.\\COM13", "\\\\.\\COM14"};
    QTest::newRow("serial") << "radioSerial" << "radioSerial" << serial << "COM1" << "19200" << true << false << 0;
    QTest::newRow("parallel") << "radioParallel" << "radioParallel" << QStringList{"LPT1", "LPT2", "LPT3"} << "LPT1"
                              << "9600" << false << false << 0;
    // No USB printer: the message, then serial again with 9600.
    QTest::newRow("usb") << "radioUsb" << "radioSerial" << serial << "COM1" << "9600" << true << false << 1;
    QTest::newRow("ethernet") << "radioEthernet" << "radioEthernet" << QStringList{} << "-" << "9600" << false << true
                              << 0;
}

void CMainDlgTest::interfaceButtons()
{
    QFETCH(QString, radio);
    Bench bench;
    bench.Click(qPrintable(radio));
    QFETCH(QString, checked);
    QVERIFY(bench.Find<QRadioButton>(qPrintable(checked))->isChecked());
    QComboBox* port = bench.Combo("comboPort");
    QStringList items;
    for (int i = 0; i < port->count(); ++i)
        items << port->itemText(i);
    QTEST(items, "ports");
    QTEST(Choice(port), "port");
    QTEST(Choice(bench.Combo("comboBaudRate")), "baud");
    QFETCH(bool, lineEnabled);
    for (const char* name : {"comboBaudRate", "comboDataBits", "comboParity", "comboStopBits", "comboFlowControl"})
        QCOMPARE(bench.Combo(name)->isEnabled(), lineEnabled);
    QFETCH(bool, networkEnabled);
    QCOMPARE(port->isEnabled(), !networkEnabled);
    QCOMPARE(bench.Find<QWidget>("ipAddress")->isEnabled(), networkEnabled);
    QCOMPARE(bench.Find<QLineEdit>("editTcpPort")->isEnabled(), networkEnabled);
    QFETCH(int, messages);
    QCOMPARE(int(bench.Messages().size()), messages);
    if (messages) {
        QCOMPARE(bench.Messages()[0], (Message{"Printer is not connected by USB.\nPlease, turn on the printer!!",
                                               "Information", MessageIcon::Information}));
    }
    if (networkEnabled) {
        QCOMPARE(bench.IpAddress(), QStringLiteral("192.168.1.100"));
        QCOMPARE(bench.Find<QLineEdit>("editTcpPort")->text(), QStringLiteral("9100"));
    }
}

void CMainDlgTest::preselection_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("fromCups");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("tcpPort");
    QTest::addColumn<int>("messages");
    for (bool cups : {false, true}) {
        const QString source = cups ? QStringLiteral(" (CUPS)") : QStringLiteral(" (file)");
        QTest::newRow(qPrintable("queue on COM3" + source)) << "Receipt COM3" << cups << "radioSerial" << "COM3"
                                                            << "19200" << "8" << "None" << "1" << "None" << "" << ""
                                                            << 0;
        // No entry begins with "COM10": the list's entry is "\\.\COM10".
        QTest::newRow(qPrintable("queue on COM10" + source))
            << "Receipt COM10" << cups << "radioSerial" << "-" << "9600" << "7" << "Even"
            << (cups ? "1" : "1.5") << "Xon/Xoff" << "" << "" << 0;
        QTest::newRow(qPrintable("USB queue" + source)) << "Receipt USB" << cups << "radioSerial" << "COM1" << "9600"
                                                        << "8" << "None" << "1" << "Hardware" << "" << "" << 1;
        QTest::newRow(qPrintable("unknown name" + source)) << "Nobody" << cups << "radioSerial" << "COM1" << "9600"
                                                           << "8" << "None" << "1" << "Hardware" << "" << "" << 0;
    }
    QTest::newRow("Custom_TLR-740II with NET") << "Custom_TLR-740II" << false << "radioEthernet" << "-" << "9600"
                                               << "8" << "None" << "1" << "Hardware" << "10.0.0.50" << "9100" << 0;
    QTest::newRow("network queue (CUPS)") << "Receipt Net" << true << "radioEthernet" << "-" << "9600" << "8"
                                          << "None" << "1" << "Hardware" << "10.0.0.50" << "9100" << 0;
}

void CMainDlgTest::preselection()
{
    QFETCH(QString, target);
    QFETCH(bool, fromCups);
    Bench bench(target.toStdString(), {}, fromCups);
    QFETCH(QString, radio);
    QVERIFY(bench.Find<QRadioButton>(qPrintable(radio))->isChecked());
    QTEST(Choice(bench.Combo("comboPort")), "port");
    QTEST(Choice(bench.Combo("comboBaudRate")), "baud");
    QTEST(Choice(bench.Combo("comboDataBits")), "dataBits");
    QTEST(Choice(bench.Combo("comboParity")), "parity");
    QTEST(Choice(bench.Combo("comboStopBits")), "stopBits");
    QTEST(Choice(bench.Combo("comboFlowControl")), "flow");
    QFETCH(QString, ip);
    if (!ip.isEmpty()) {
        QCOMPARE(bench.IpAddress(), ip);
        QTEST(bench.Find<QLineEdit>("editTcpPort")->text(), "tcpPort");
    }
    QTEST(int(bench.Messages().size()), "messages");
}

void CMainDlgTest::checkCommunication_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("tcpPort");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("detail"); // of the last box; the port's own box before it has none
    QTest::addColumn<bool>("connected");
    const QString connectError =
        "Error : Failed to connected \r\nPlease, check IP port configuration in printer control pannel \"PORT\"";
    const QString cantOpen = "Can't open port and Printer is disconnected";
    const QString notConfigured = "configure 192.168.1.100: neither a COM, LPT or USB port nor an address with a TCP port";
    QTest::newRow("serial success") << "radioSerial" << "" << "" << QStringList{"Printer is connected."} << "" << true;
    QTest::newRow("network success") << "radioEthernet" << "9100" << "" << QStringList{"Printer is connected."} << ""
                                     << true;
    QTest::newRow("TCP port 0") << "radioEthernet" << "0" << "" << QStringList{"Port Configuration Set Error!"}
                                << notConfigured << false;
    QTest::newRow("TCP port not a number") << "radioEthernet" << "91x0" << ""
                                           << QStringList{"Port Configuration Set Error!"} << notConfigured << false;
    QTest::newRow("nothing listens") << "radioEthernet" << "9101" << "" << QStringList{connectError, cantOpen}
                                     << "connect 192.168.1.100:9101: Connection refused" << false;
    QTest::newRow("permission denied") << "radioSerial" << "" << "machine:permission-denied" << QStringList{cantOpen}
                                       << "open /dev/ttyS0: Permission denied (add the user to the dialout group)"
                                       << false;
    QTest::newRow("missing device") << "radioSerial" << "" << "machine:missing" << QStringList{cantOpen}
                                    << "open /dev/ttyS0: No such file or directory (set KALO_PORT_COM1 to the device)"
                                    << false;
    QTest::newRow("busy device") << "radioSerial" << "" << "machine:busy" << QStringList{cantOpen}
                                 << "open /dev/ttyS0: busy (another program holds it)" << false;
    QTest::newRow("DSR low") << "radioSerial" << "" << "dsr-low" << QStringList{cantOpen}
                             << "open /dev/ttyS0: the printer holds DSR off (switched off, or its cable is out)"
                             << false;
    QTest::newRow("initialise not written") << "radioSerial" << "" << "close-after=1"
                                            << QStringList{"Port error! Check printer's port, please."}
                                            << "write /dev/ttyS0: the device hung up" << false;
    // Refusals of the printer's answers are not port failures: no reason below them.
    QTest::newRow("wrong id") << "radioSerial" << "" << "wrong-id"
                              << QStringList{"Fail to get printer ID.\r\n\r\nPlease retry connect"} << "" << false;
    QTest::newRow("wrong maker") << "radioEthernet" << "9100" << "wrong-maker"
                                 << QStringList{"This printer don't match our company name."} << "" << false;
    QTest::newRow("wrong model") << "radioSerial" << "" << "wrong-model"
                                 << QStringList{"The connected printer has different Model name."} << "" << false;
}

void CMainDlgTest::checkCommunication()
{
    QFETCH(QString, fault);
    sim::PrinterOptions options;
    std::string error;
    const bool machineFault = fault.startsWith("machine:");
    if (!fault.isEmpty() && !machineFault)
        QVERIFY(sim::ApplyFault(fault.toStdString(), options, error));
    Bench bench("", options);
    bench.machine.networkHost = "192.168.1.100";
    bench.machine.serialPermissionDenied = fault == "machine:permission-denied";
    bench.machine.serialHeldElsewhere = fault == "machine:busy";
    if (fault == "machine:missing")
        bench.machine.serialPath = "/dev/ttyUSB0";
    QFETCH(QString, radio);
    bench.Click(qPrintable(radio));
    QFETCH(QString, tcpPort);
    if (!tcpPort.isEmpty())
        bench.Find<QLineEdit>("editTcpPort")->setText(tcpPort);
    if (radio == "radioSerial") {
        QComboBox* baud = bench.Combo("comboBaudRate");
        QTest::keyClick(baud, Qt::Key_Up); // 19200 -> 9600
    }
    bench.machine.Recorded().Clear();
    bench.Click("buttonCheckCommunication");

    QFETCH(QStringList, texts);
    QFETCH(QString, detail);
    QFETCH(bool, connected);
    QCOMPARE(int(bench.Messages().size()), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(QString::fromStdString(bench.Messages()[size_t(i)].text), texts[i]);
        QCOMPARE(QString::fromStdString(bench.Messages()[size_t(i)].detail), i + 1 == texts.size() ? detail : QString());
    }
    const Message& last = bench.Messages().back();
    QCOMPARE(QString::fromStdString(last.caption), connected ? QStringLiteral("Information") : QStringLiteral("Warning"));
    QCOMPARE(last.icon, connected ? MessageIcon::Information : MessageIcon::Warning);
    QCOMPARE(bench.window->IsConnected(), connected);
    QCOMPARE(bench.machine.openDevices, connected ? 1 : 0);
    QCOMPARE(bench.Button("buttonCheckCommunication")->isEnabled(), !connected);
    QCOMPARE(bench.Button("buttonSelfTest")->isEnabled(), connected);

    // Pressing it again while connected does nothing at all.
    bench.machine.Recorded().Clear();
    bench.window->OnCheckCommunication();
    QCOMPARE(bench.Messages().empty(), connected);
}

void CMainDlgTest::connectedStateAndTheWaysOut_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("another baud rate") << "comboBaudRate";
    QTest::newRow("another port") << "comboPort";
    QTest::newRow("another parity") << "comboParity";
    QTest::newRow("the same interface again") << "radioSerial";
    QTest::newRow("another interface") << "radioParallel";
}

void CMainDlgTest::connectedStateAndTheWaysOut()
{
    Bench bench;
    QTest::keyClick(bench.Combo("comboBaudRate"), Qt::Key_Down); // any choice closes nothing yet
    bench.Click("buttonCheckCommunication");
    QVERIFY(bench.window->IsConnected());

    QFETCH(QString, way);
    if (way.startsWith("combo"))
        QTest::keyClick(bench.Combo(qPrintable(way)), Qt::Key_Down);
    else
        bench.Click(qPrintable(way));
    QVERIFY(!bench.window->IsConnected());
    QCOMPARE(bench.machine.openDevices, 0);
    QVERIFY(bench.Button("buttonCheckCommunication")->isEnabled());
    QVERIFY(!bench.Button("buttonSelfTest")->isEnabled());
}

void CMainDlgTest::selfTestPrintsTheTestPage()
{
    Bench bench;
    bench.Click("buttonCheckCommunication");
    QVERIFY(bench.window->IsConnected());
    bench.machine.Clock().ClearSleeps();
    bench.Click("buttonSelfTest");
    QCOMPARE(bench.machine.Clock().Sleeps(), std::vector<uint32_t>{4300});
    QVERIFY(!bench.machine.Paper().empty());
    QCOMPARE(bench.machine.Paper().front(), std::string("[self test]"));
    QVERIFY(bench.Button("buttonSelfTest")->isEnabled());

    QCOMPARE(bench.Messages().size(), size_t(1)); // "Printer is connected." alone

    // Closing the window closes the port.
    bench.window.reset();
    QCOMPARE(bench.machine.openDevices, 0);

    // A printer that hangs up three bytes into the command: the wait is kept, the stop is told.
    sim::PrinterOptions options;
    options.closeAfter = 17 + 3; // after the identification's 17 bytes
    Bench cut("", options);
    cut.Click("buttonCheckCommunication");
    cut.Click("buttonSelfTest");
    QCOMPARE(cut.machine.Clock().Sleeps().back(), uint32_t(4300));
    const Message expected{"Self Test stopped after 3 of 7 bytes: the printer may not print its test page. Check the "
                           "printer and press Self Test again.",
                           "Warning", MessageIcon::Warning};
    QCOMPARE(cut.Messages().back(), expected);
    QVERIFY(cut.Button("buttonSelfTest")->isEnabled());
}

void CMainDlgTest::spoolerQueuesAreRedirectedAndGivenBack()
{
    Bench bench;
    bench.spooler.queues = {{"office", "serial:/dev/ttyS0?baud=9600"},
                            {"labels", "serial:/dev/ttyS9?baud=9600"}, // COM10 contains "COM1"
                            {"other", "serial:/dev/ttyS1"},
                            {"net", "socket://10.1.1.1"}};
    bench.Click("buttonCheckCommunication");
    QCOMPARE(bench.spooler.UriOf("office"), std::string("file:///dev/null"));
    QCOMPARE(bench.spooler.UriOf("labels"), std::string("file:///dev/null"));
    QCOMPARE(bench.spooler.UriOf("other"), std::string("serial:/dev/ttyS1"));
    QCOMPARE(bench.window->SavedPrinterPorts().size(), size_t(2));

    // "\\.\COM10" leaves the spooler alone.
    bench.Click("radioSerial");
    bench.Combo("comboPort")->setCurrentIndex(9);
    const int changes = bench.spooler.changes;
    bench.Click("buttonCheckCommunication");
    QCOMPARE(bench.spooler.changes, changes);

    bench.window.reset();
    QCOMPARE(bench.spooler.UriOf("office"), std::string("serial:/dev/ttyS0?baud=9600"));
    QCOMPARE(bench.spooler.UriOf("labels"), std::string("serial:/dev/ttyS9?baud=9600"));
}

void CMainDlgTest::runManagerOpensThePrinterStatusWindow()
{
    Bench bench;
    bench.Click("buttonCheckCommunication");
    QVERIFY(bench.Button("buttonRunManager")->isEnabled());
    bool seen = false;
    // The status window runs modally: look at it from inside its run, then leave it with Exit.
    QTimer::singleShot(0, [&] {
        CStatusDlg* status = bench.window->StatusWindow();
        QVERIFY(status);
        QCOMPARE(status->windowTitle(), QStringLiteral("Printer Status"));
        status->OnTimer(18);
        seen = true;
        QTest::mouseClick(status->findChild<QPushButton*>("buttonExit"), Qt::LeftButton);
    });
    bench.Click("buttonRunManager");
    QVERIFY(seen);
    QVERIFY(!bench.window->StatusWindow());
    QVERIFY(bench.window->IsConnected()); // back to the connected main window
    QCOMPARE(bench.machine.openDevices, 1);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CMainDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CMainDlgTest.moc"
