#include "app/CConfigApp.h"
#include "app/CMainDlg.h"
#include "connect/CupsRegistryView.h"
#include "editor/CCommandEditorDlg.h"
#include "status/CStatusDlg.h"
#include "sim/MemorySpooler.h"
#include "platform/RegistryFile.h"
#include "sim/InProcessPlatform.h"
#include "support/ChildProcess.h"
#include "support/RegistryText.h"
#include "support/WireLogText.h"
#include "port/PrinterCommands.h"

#include <chrono>
#include <iostream>
#include <thread>

#include <csignal>
#include <fstream>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace kalo;
using platform::MessageIcon;
using Message = sim::RecordingMessageSink::Message;

namespace {

const std::vector<platform::SpoolerQueue> kCupsQueues = {
    {"Receipt USB", "usb://KEMTRAN/TLR-740II?serial=0001"},
    {"Receipt Net", "socket://10.0.0.50"},
    {"Receipt Net 9101", "socket://10.0.0.51:9101"},
    {"Receipt USB1", "serial:/dev/ttyUSB1?baud=38400"},
    {"Receipt USB10", "serial:/dev/ttyUSB10"},
};

// The window with everything it talks to, all in this process.
struct Bench {
    explicit Bench(const std::string& target = "", sim::PrinterOptions options = {}, bool fromCups = false,
                   std::vector<platform::DevicePathInfo> serialDevices = {})
        : machine(std::move(options))
        , file(platform::RegistryFile::FromText(fromCups ? "" : test::kRegistryText))
        , cups(spooler, machine.Ports())
        , registry({&file, &cups})
    {
        if (fromCups)
            spooler.queues = kCupsQueues;
        machine.serialDevices = std::move(serialDevices);
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
    const std::vector<Message>& Messages() const { return machine.Recorded().Messages(); }

    sim::InProcessPlatform machine;
    sim::MemorySpooler spooler;
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

QStringList Items(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

const Message kNoUsb{"Printer is not connected by USB.\nPlease, turn on the printer!!", "Information",
                     MessageIcon::Information};

class CMainDlgTest : public QObject {
    Q_OBJECT
private slots:
    void form_data();
    void form();
    void checkCommunication_data();
    void checkCommunication();
    void connectedStateAndTheWaysOut_data();
    void connectedStateAndTheWaysOut();
    void selfTestPrintsTheTestPage_data();
    void selfTestPrintsTheTestPage();
    void modalWindowsBorrowThePort_data();
    void modalWindowsBorrowThePort();
    void usbListFollowsPrintersComingAndGoing();
    void serialDevicesFollowTheComEntries();
    void terminationSignalEndsTheProgramMidExchange();
    void replyPaceOnTheContextMenu_data();
    void replyPaceOnTheContextMenu();
    void printerStateLine();
};

// What the window shows at start, after an interface button, and for a printer named at start.
void CMainDlgTest::form_data()
{
    QTest::addColumn<QString>("target"); // the printer named, and where it is looked up
    QTest::addColumn<QString>("click");  // the interface button pressed
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("line");    // port, baud rate, data bits, parity, stop bits, flow control
    QTest::addColumn<QString>("network"); // address:TCP port, shown for Ethernet only
    QTest::addColumn<bool>("usbMessage");
    const QString standard = "COM1 9600 8 None 1 Hardware", noPort = "- 9600 8 None 1 Hardware";
    QTest::newRow("at start") << "" << "" << "Serial" << standard << "" << false;
    QTest::newRow("serial") << "" << "Serial" << "Serial" << "COM1 19200 8 None 1 Hardware" << "" << false;
    QTest::newRow("parallel") << "" << "Parallel" << "Parallel" << "LPT1 9600 8 None 1 Hardware" << "" << false;
    // No USB printer: the message, then serial again with 9600.
    QTest::newRow("usb") << "" << "Usb" << "Serial" << standard << "" << true;
    QTest::newRow("ethernet") << "" << "Ethernet" << "Ethernet" << noPort << "192.168.1.100:9100" << false;
    // The printer named at start, from the registry file or the spooler's queues.
    const auto named = [](const char* target) -> QTestData& { return QTest::newRow(target) << target << ""; };
    named("file:Receipt COM3") << "Serial" << "COM3 19200 8 None 1 None" << "" << false;
    // No entry begins with "COM10": the list's entry is "\\.\COM10".
    named("file:Receipt COM10") << "Serial" << "- 9600 7 Even 1.5 Xon/Xoff" << "" << false;
    named("cups:Receipt USB") << "Serial" << standard << "" << true;
    named("file:Nobody") << "Serial" << standard << "" << false;
    named("file:Custom_TLR-740II") << "Ethernet" << noPort << "10.0.0.50:9100" << false;
    named("cups:receipt net") << "Ethernet" << noPort << "10.0.0.50:9100" << false; // queue names in any case
    named("cups:Receipt Net 9101") << "Ethernet" << noPort << "10.0.0.51:9101" << false;
}

void CMainDlgTest::form()
{
    QFETCH(QString, target);
    QFETCH(QString, click);
    QFETCH(QString, radio);
    Bench bench(target.section(':', 1).toStdString(), {}, target.startsWith("cups:"));
    if (!click.isEmpty())
        bench.Click(qPrintable("radio" + click));
    QVERIFY(bench.Find<QRadioButton>(qPrintable("radio" + radio))->isChecked());
    QComboBox* port = bench.Combo("comboPort");
    QStringList line{Choice(port)}, address;
    for (const char* name : {"comboBaudRate", "comboDataBits", "comboParity", "comboStopBits", "comboFlowControl"}) {
        line << Choice(bench.Combo(name));
        QCOMPARE(bench.Combo(name)->isEnabled(), radio == "Serial");
    }
    QTEST(line.join(' '), "line");
    for (int i = 0; i < 4; ++i)
        address << bench.Find<QLineEdit>(qPrintable(QStringLiteral("ipField%1").arg(i)))->text();
    const bool network = radio == "Ethernet";
    QCOMPARE(port->isEnabled(), !network);
    QCOMPARE(bench.Find<QWidget>("ipAddress")->isEnabled(), network);
    QCOMPARE(bench.Find<QLineEdit>("editTcpPort")->isEnabled(), network);
    QTEST(network ? address.join('.') + ':' + bench.Find<QLineEdit>("editTcpPort")->text() : QString(), "network");
    QFETCH(bool, usbMessage);
    QCOMPARE(int(bench.Messages().size()), usbMessage ? 1 : 0);
    if (usbMessage)
        QCOMPARE(bench.Messages()[0], kNoUsb);
}

void CMainDlgTest::checkCommunication_data()
{
    QTest::addColumn<QString>("link"); // "serial", "parallel", or Ethernet with this TCP port text
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("detail"); // the reason, below the last box
    const QStringList connected{"Printer is connected."};
    QTest::newRow("serial success") << "serial" << "" << connected << "";
    QTest::newRow("parallel success") << "parallel" << "" << connected << "";
    QTest::newRow("TCP port 0") << "0" << "" << QStringList{"Port Configuration Set Error!"}
                                << "configure 192.168.1.100: neither a COM, LPT or USB port nor an address with a TCP "
                                   "port";
    QTest::newRow("nothing listens") << "9101" << ""
                                     << QStringList{"Error : Failed to connected \r\nPlease, check IP port "
                                                    "configuration in printer control pannel \"PORT\"",
                                                    "Can't open port and Printer is disconnected"}
                                     << "connect 192.168.1.100:9101: Connection refused";
    QTest::newRow("initialise not written, serial") << "serial" << "close-after=1"
                                                    << QStringList{"Port error! Check printer's port, please."}
                                                    << "write /dev/ttyS0: the device hung up";
    // Refusals of the printer's answers are not port failures: no reason below them.
    QTest::newRow("wrong id") << "serial" << "wrong-id"
                              << QStringList{"Fail to get printer ID.\r\n\r\nPlease retry connect"} << "";
}

void CMainDlgTest::checkCommunication()
{
    QFETCH(QString, link);
    QFETCH(QString, fault);
    QFETCH(QStringList, texts);
    QFETCH(QString, detail);
    sim::PrinterOptions options;
    std::string error;
    if (!fault.isEmpty())
        QVERIFY(sim::ApplyFault(fault.toStdString(), options, error));
    Bench bench("", options);
    bench.machine.networkHost = "192.168.1.100";
    if (link == "serial") {
        bench.Click("radioSerial");
        QTest::keyClick(bench.Combo("comboBaudRate"), Qt::Key_Up); // 19200 -> 9600
    } else if (link == "parallel") {
        bench.Click("radioParallel");
    } else {
        bench.Click("radioEthernet");
        bench.Find<QLineEdit>("editTcpPort")->setText(link);
    }
    bench.machine.Recorded().Clear();
    bench.Click("buttonCheckCommunication");

    const bool connected = texts == QStringList{"Printer is connected."};
    // The port's own box, if any, then the window's, which alone carries the reason.
    std::vector<Message> shown;
    for (const QString& text : texts)
        shown.push_back({text.toStdString(), "Error", MessageIcon::Error, ""});
    shown.back() = {texts.back().toStdString(), connected ? "Information" : "Warning",
                    connected ? MessageIcon::Information : MessageIcon::Warning, detail.toStdString()};
    QCOMPARE(bench.Messages(), shown);
    QCOMPARE(bench.window->IsConnected(), connected);
    QCOMPARE(bench.machine.openDevices, connected ? 1 : 0);
    QCOMPARE(bench.Button("buttonCheckCommunication")->isEnabled(), !connected);
    QCOMPARE(bench.Button("buttonSelfTest")->isEnabled(), connected);
    QCOMPARE(bench.Button("buttonCommandTestEditor")->isEnabled(), connected);

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
    QVERIFY(!bench.Button("buttonCommandTestEditor")->isEnabled());
}

void CMainDlgTest::selfTestPrintsTheTestPage_data()
{
    QTest::addColumn<int>("closeAfter");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QList<int>>("queued"); // input that comes while the test page prints
    const QString stopped = "Self Test stopped after 3 of 7 bytes: the printer may not print its test page. Check "
                            "the printer and press Self Test again.";
    QTest::newRow("printed") << -1 << "" << "" << QList<int>{};
    // Hung up three bytes into the command, after the identification's 17 and the state's 12: the wait
    // is kept, the stop is told.
    QTest::newRow("printer hangs up") << 17 + 12 + 3 << stopped << "write /dev/ttyS0: the device hung up" << QList<int>{};
    // Discarded, not delivered afterwards to the button that stays enabled.
    QTest::newRow("double click meanwhile") << -1 << "" << ""
                                            << QList<int>{QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                                          QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease};
}

void CMainDlgTest::selfTestPrintsTheTestPage()
{
    QFETCH(int, closeAfter);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    Bench bench("", {.closeAfter = closeAfter});
    bench.Click("buttonCheckCommunication");
    bench.machine.Clock().ClearSleeps();
    bench.machine.Recorded().Clear();
    QFETCH(QList<int>, queued);
    // In the queue before the press is handled, as what the window system queues while the handler runs.
    QPushButton* selfTest = bench.Button("buttonSelfTest");
    const QPoint at = selfTest->rect().center();
    for (const int queuedType : queued) {
        const auto type = QEvent::Type(queuedType);
        QCoreApplication::postEvent(selfTest, new QMouseEvent(type, at, selfTest->mapToGlobal(at), Qt::LeftButton,
                                                              type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                                                 : Qt::LeftButton,
                                                              Qt::NoModifier));
    }
    bench.Click("buttonSelfTest");
    QCoreApplication::processEvents(); // what the event loop would deliver next
    // The test page's time, then the printer's state read after it (at once from a line that hung up).
    const std::vector<uint32_t> waits =
        closeAfter < 0 ? std::vector<uint32_t>{4300, 100, 100, 100, 100} : std::vector<uint32_t>{4300};
    QCOMPARE(bench.machine.Clock().Sleeps(), waits);
    QCOMPARE(bench.Find<QLabel>("labelPrinterState")->text(), closeAfter < 0 ? "Printer state: Ready" : "Printer state: Unreachable");
    const auto& paper = bench.machine.Paper();
    QCOMPARE(paper.empty() ? std::string() : paper.front(), std::string(message.isEmpty() ? "[self test]" : ""));
    const std::vector<Message> told{{message.toStdString(), "Warning", MessageIcon::Warning, detail.toStdString()}};
    QCOMPARE(bench.Messages(), message.isEmpty() ? std::vector<Message>{} : told);
    QVERIFY(bench.Button("buttonSelfTest")->isEnabled());
    // Closing the window closes the port.
    bench.window.reset();
    QCOMPARE(bench.machine.openDevices, 0);
}

// The adapters present follow the fourteen COM entries, named by their path
// alone and described in their tooltip; a queue's device is chosen by its
// whole path (ttyUSB10, listed first, only begins like ttyUSB1), and
// Check Communication opens it and takes that queue alone until the window closes.
void CMainDlgTest::serialDevicesFollowTheComEntries()
{
    Bench bench("Receipt USB1", {}, true, {{"/dev/ttyUSB10", "FTDI USB UART, serial A5"}, {"/dev/ttyUSB1"}});
    QComboBox* port = bench.Combo("comboPort");
    QCOMPARE(Items(port), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                       "\\\\.\\COM10", "\\\\.\\COM11", "\\\\.\\COM12", "\\\\.\\COM13",
                                       "\\\\.\\COM14", "/dev/ttyUSB10", "/dev/ttyUSB1"}));
    QCOMPARE(Choice(port) + " " + Choice(bench.Combo("comboBaudRate")), QStringLiteral("/dev/ttyUSB1 38400"));
    QCOMPARE(port->itemData(14, Qt::ToolTipRole).toString(), QStringLiteral("FTDI USB UART, serial A5"));
    QVERIFY(!port->itemData(0, Qt::ToolTipRole).isValid() && !port->itemData(15, Qt::ToolTipRole).isValid());
    bench.machine.serialPath = "/dev/ttyUSB1";
    bench.Click("buttonCheckCommunication");
    QCOMPARE(bench.machine.lastOpenedPath, std::string("/dev/ttyUSB1"));
    QVERIFY(bench.Button("buttonSelfTest")->isEnabled());
    QCOMPARE(bench.spooler.UriOf("Receipt USB1"), std::string("file:///dev/null"));
    QCOMPARE(bench.spooler.UriOf("Receipt USB10"), std::string("serial:/dev/ttyUSB10"));
    bench.window.reset(); // closing the window gives the queue back
    QCOMPARE(bench.spooler.UriOf("Receipt USB1"), std::string("serial:/dev/ttyUSB1?baud=38400"));
}

void CMainDlgTest::modalWindowsBorrowThePort_data()
{
    QTest::addColumn<QString>("button"); // the main window's button that opens it
    QTest::addColumn<QString>("leave");  // its button that closes it, or Escape
    QTest::newRow("status window") << "buttonRunManager" << "buttonExit";
    QTest::newRow("editor, Close") << "buttonCommandTestEditor" << "buttonClose";
    QTest::newRow("editor, Escape") << "buttonCommandTestEditor" << "Escape";
}

// The status window and the editor run modally on the main window's port and
// leave it open, whichever way they are left.
void CMainDlgTest::modalWindowsBorrowThePort()
{
    QFETCH(QString, button);
    QFETCH(QString, leave);
    const bool status = button == "buttonRunManager";
    Bench bench;
    bench.Click("buttonCheckCommunication");
    QVERIFY(bench.Button(qPrintable(button))->isEnabled());
    bool seen = false;
    // Looked at from inside its modal run, and left whether or not the checks held: a failed one
    // returns early from the inner function and would leave the window's run waiting for a click.
    QTimer::singleShot(0, [&] {
        QDialog* dialog = status ? static_cast<QDialog*>(bench.window->StatusWindow()) : bench.window->EditorWindow();
        [&] {
            QVERIFY(dialog && (status || dialog == QApplication::activeModalWidget()));
            QCOMPARE(dialog->windowTitle(),
                     status ? QStringLiteral("Printer Status") : QStringLiteral("Command Test Editor"));
            if (status) {
                bench.window->StatusWindow()->OnTimer(18);
                QTest::mouseClick(dialog->findChild<QPushButton*>("buttonGetStatus"), Qt::LeftButton);
                QCOMPARE(bench.Messages().back().text, std::string("Success to get status of printer."));
            } else {
                QTest::mouseClick(dialog->findChild<QPushButton*>("buttonFeed"), Qt::LeftButton);
                QTest::mouseClick(dialog->findChild<QPushButton*>("buttonWriteCommand"), Qt::LeftButton);
            }
            seen = true;
            if (leave == "Escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                QTest::mouseClick(dialog->findChild<QPushButton*>(qPrintable(leave)), Qt::LeftButton);
        }();
        if (dialog && dialog->isVisible())
            dialog->reject();
        else if (QWidget* modal = QApplication::activeModalWidget(); !dialog && modal)
            modal->close();
    });
    bench.Click(qPrintable(button));
    QVERIFY(seen);
    QVERIFY(!bench.window->StatusWindow() && !bench.window->EditorWindow());
    QVERIFY(bench.window->IsConnected());
    QCOMPARE(bench.machine.openDevices, 1);
    // The state is asked again after the status window (F5 as well), never after the editor's writes:
    // an unfinished command there would take the request as its parameters.
    QTest::keyClick(bench.window.get(), Qt::Key_F5);
    const std::vector<uint8_t> last = status ? std::vector<uint8_t>{0x10, 0x04, 0x04} : std::vector<uint8_t>{0x0A};
    QCOMPARE(bench.machine.lastLink->Written().back().bytes, last);
}

// The line under the buttons shows the state once Check Communication accepts the printer, and
// again on F5 after it changed.
void CMainDlgTest::printerStateLine()
{
    QTemporaryDir folder;
    const std::string stateFile = folder.filePath("state").toStdString();
    std::ofstream(stateFile) << "paper-near-end\n";
    Bench bench("", {.stateFile = stateFile});
    QLabel* line = bench.Find<QLabel>("labelPrinterState");
    QCOMPARE(line->text(), QString());
    bench.Click("buttonCheckCommunication");
    QCOMPARE(line->text(), QStringLiteral("Printer state: Paper near end"));
    std::ofstream(stateFile) << "cover-open paper-out\n";
    QTest::keyClick(bench.window.get(), Qt::Key_F5);
    QCOMPARE(line->text(), QStringLiteral("Printer state: Cover open, paper out"));
}

// The family's openable printers are listed; printers plugged in and pulled
// out while nothing is connected: the list follows them, its selection kept
// while the entry is there, never a message and never another interface.
void CMainDlgTest::usbListFollowsPrintersComingAndGoing()
{
    using kalo::platform::UsbNoticeKind;
    Bench bench;
    // Which printers are listed, and as what, is the port's test; here the list following the notices.
    const kalo::platform::UsbPrinterInfo first{"/dev/usb/lp0", "7a3c", "001f", "K1"},
        second{"/dev/usb/lp3", "7a3c", "001d", ""}, third{"/dev/usb/lp5", "7a3c", "001e", "K5"};
    const QString secondEntry = "740plusII:/dev/usb/lp3?vid_7a3c&pid_001d&serial=";
    auto plug = [&](std::vector<kalo::platform::UsbPrinterInfo> now, UsbNoticeKind kind, const std::string& node) {
        bench.machine.usbPrinters = std::move(now);
        bench.machine.UsbWatcher().Deliver({kind, node});
    };
    bench.machine.usbPrinters = {first, second};
    bench.Click("radioUsb");
    QComboBox* port = bench.Combo("comboPort");
    port->setCurrentIndex(1);
    plug({first, second, third}, UsbNoticeKind::Arrival, third.node);
    QCOMPARE(Items(port).size(), 3);
    QCOMPARE(port->currentText(), secondEntry);
    plug({second, third}, UsbNoticeKind::RemoveComplete, first.node);
    QCOMPARE(Items(port), (QStringList{secondEntry, "742plusII:/dev/usb/lp5?vid_7a3c&pid_001e&serial=K5"}));
    QCOMPARE(port->currentText(), secondEntry);
    plug({third}, UsbNoticeKind::RemoveComplete, second.node);
    QCOMPARE(port->currentIndex(), 0); // the chosen printer went: the first one left
    plug({}, UsbNoticeKind::RemoveComplete, third.node);
    QCOMPARE(port->count(), 0);
    QVERIFY(bench.Find<QRadioButton>("radioUsb")->isChecked());
    QVERIFY(bench.Messages().empty());

    // Another interface chosen: its list stays.
    bench.Click("radioParallel");
    const QStringList parallel = Items(port);
    plug({first}, UsbNoticeKind::Arrival, first.node);
    QCOMPARE(Items(port), parallel);

    // Connected: the list stays as it was connected with.
    bench.Click("radioUsb");
    bench.Click("buttonCheckCommunication");
    QVERIFY(bench.window->IsConnected());
    QCOMPARE(bench.machine.lastOpenedPath, std::string("/dev/usb/lp0"));
    plug({first, third}, UsbNoticeKind::Arrival, third.node);
    QCOMPARE(port->count(), 1);
    QVERIFY(bench.window->IsConnected());
}

namespace {

// kalo itself (its application, clock, message boxes and signals) pressing
// the buttons named, each once it is usable and no exchange runs, and naming
// it on standard output first; boxes are answered OK. "connect" first sets
// the network printer KALO_TEST_PRINTER.
int RunScriptedKalo(int argc, char** argv)
{
    QStringList steps;
    for (int i = 2; i < argc; ++i)
        steps << argv[i];
    CConfigApp app(argc = 1, argv);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        QWidget* front = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(front))
            return box->accept();
        if (QApplication::overrideCursor() || !front || steps.isEmpty())
            return;
        if (steps[0] == "connect") {
            const QStringList at = qEnvironmentVariable("KALO_TEST_PRINTER").replace(':', '.').split('.');
            front->findChild<QRadioButton*>("radioEthernet")->click();
            for (int i = 0; i < 5; ++i) {
                const QString field = i < 4 ? QStringLiteral("ipField%1").arg(i) : QStringLiteral("editTcpPort");
                front->findChild<QLineEdit*>(field)->setText(at[i]);
            }
            steps[0] = "buttonCheckCommunication";
        }
        QPushButton* button = front->findChild<QPushButton*>(steps[0]);
        if (!button || !button->isEnabled())
            return;
        std::cout << qPrintable(steps.takeFirst()) << std::endl;
        // From the event loop: a timer does not fire again while its own slot runs.
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    });
    tick.start(20);
    app.InitInstance();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::string(argv[1]) == "--scripted-kalo")
        return RunScriptedKalo(argc, argv);
    QApplication app(argc, argv);
    CMainDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

// A termination signal 0.5 s into a Set Status, whose writes are followed by
// 2.1 s of waits, ends the program the ordinary way within 2 s of its start,
// user-setting mode left first. Other exchanges a signal cuts short are the
// command line's test.
void CMainDlgTest::terminationSignalEndsTheProgramMidExchange()
{
    const QStringList steps{"connect", "buttonRunManager", "buttonGetStatus", "buttonSetStatus"};
    QTemporaryDir dir;
    const std::string wireLog = dir.filePath("wire.log").toStdString();
    test::VirtualPrinterProcess printer({"--tcp", "127.0.0.1:0", "--wire-log", wireLog});
    std::vector<std::string> args{"--scripted-kalo"};
    for (const QString& step : steps)
        args.push_back(step.toStdString());
    test::ChildProcess kalo(QCoreApplication::applicationFilePath().toStdString(), args,
                            {"KALO_TEST_PRINTER=" + printer.tcpAddress + ":" + std::to_string(printer.tcpPort)});
    for (std::string line; line != steps.last().toStdString();) {
        line = kalo.ReadLine(30000);
        QVERIFY2(!line.empty(), "the script stopped short");
    }
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kalo.Signal(SIGHUP);
    QCOMPARE(kalo.Wait(30000), 0);
    const auto tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    qInfo("[figures] ended %lld ms into the exchange", (long long)tookMs);
    QVERIFY2(tookMs < 2000, qPrintable(QString::number(tookMs)));
    // The printer may log the last bytes a moment after the program ended.
    test::WaitForReceived(wireLog, test::HexText(cmd::kEndUserSetting), 5000);
    const std::string received = test::ReceivedHex(wireLog);
    const size_t entered = received.find(test::HexText(cmd::kEnterUserSetting));
    QVERIFY2(entered != std::string::npos
                 && received.find(test::HexText(cmd::kEndUserSetting), entered) != std::string::npos,
             received.c_str());
}

void CMainDlgTest::replyPaceOnTheContextMenu_data()
{
    QTest::addColumn<QString>("warning"); // at start-up; the row's name is what KALO_PACE holds
    QTest::newRow("unset") << QString();
    QTest::newRow("quick") << "KALO_PACE is 'quick': it must be fixed or reply. The program goes on with fixed waits.";
}

// The window starts with the fixed pace, a KALO_PACE naming none said at
// start-up; the context menu's check box changes the pace of the port the
// other windows borrow.
void CMainDlgTest::replyPaceOnTheContextMenu()
{
    QFETCH(QString, warning);
    qputenv("KALO_PACE", warning.isEmpty() ? QByteArray() : QByteArray(QTest::currentDataTag()));
    Bench bench;
    qunsetenv("KALO_PACE");
    auto* check = bench.Find<QAction>("actionReplyPace");
    QVERIFY(check && check->isCheckable() && !check->isChecked() && check->text() == "Wait for replies, not fixed times");
    QCOMPARE(bench.window->Port().GetPace(), Pace::Fixed);
    check->trigger();
    QCOMPARE(bench.window->Port().GetPace(), Pace::Reply);
    QCOMPARE(bench.Messages(), (warning.isEmpty() ? std::vector<Message>{}
                                                  : std::vector<Message>{{warning.toStdString(), "Warning", MessageIcon::Warning}}));
}

#include "CMainDlgTest.moc"
