#include "SwitchPins.h"
#include "sim/InProcessPlatform.h"
#include "status/CMemSwitchPage.h"
#include "status/CPrinterSettingPage.h"
#include "status/CStatusDlg.h"
#include "status/CStatusTab.h"
#include "support/FontImages.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace kalo;
using platform::MessageIcon;

namespace {

// The buttons in the order of the enabling table: Get, Print Status, Print
// Codepage, Set, Save, Load, Initialize, Exit.
const char* const kButtons[] = {"buttonGetStatus",  "buttonPrintStatus", "buttonPrintCodepage",
                                "buttonSetStatus",  "buttonSaveStatus",  "buttonLoadStatus",
                                "buttonInitializeStatus", "buttonExit"};

struct Bench {
    explicit Bench(PortKind kind = PortKind::Serial, sim::PrinterOptions options = {})
        : machine(std::move(options))
        , port(machine)
    {
        port.Configure(kind == PortKind::Serial ? LinePortSettings("COM1", 9600, 8, 0, 0, 0)
                                                : NetworkPortSettings(machine.networkHost, machine.networkPort));
        port.Open();
        window = std::make_unique<CStatusDlg>(machine, dialogs, &port, kind);
        window->show();
    }
    QString Buttons()
    {
        QString states;
        for (const char* name : kButtons)
            states += window->findChild<QPushButton*>(name)->isEnabled() ? '1' : '0';
        return states;
    }
    void Click(const char* name) { QTest::mouseClick(window->findChild<QPushButton*>(name), Qt::LeftButton); }
    // Clicks a button whose file dialog is answered with file (none: cancelled).
    void Click(const char* name, std::optional<std::string> file) { dialogs.answers.push_back(file); Click(name); }
    template <typename T>
    T* Find(const char* name) { return window->findChild<T*>(name); }
    // Chooses an entry of a list the way a user does.
    void Choose(const char* combo, int index)
    {
        QComboBox* box = Find<QComboBox>(combo);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    std::vector<std::string> Texts()
    {
        std::vector<std::string> texts;
        for (const auto& m : machine.Recorded().Messages())
            texts.push_back(m.text);
        machine.Recorded().Clear();
        return texts;
    }
    void Ready()
    {
        window->OnTimer(18);
        Click("buttonGetStatus");
        Texts();
    }

    sim::InProcessPlatform machine;
    CPrinterPort port;
    platform::ScriptedFileDialogs dialogs;
    std::unique_ptr<CStatusDlg> window;
};

// Bytes written before Get Status asks for switch 1: the start-up check (20)
// and the check of Get Status (11); and all of Ready (a Get Status of 63 more).
constexpr int kBeforeSwitchQueries = 31;
constexpr int kReadyBytes = kBeforeSwitchQueries + 63;
// Set Status writes 157 bytes before a font image.
constexpr int kFontStart = kReadyBytes + 157;
const QString kFontChangeStarted =
    QStringLiteral("Success to Change the Firmware,\n And Now Start Font Download!\r\nWhen download is finished, KALO is closed.");

} // namespace

class CStatusDlgTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::string Path(const char* name) { return m_dir.filePath(name).toStdString(); }

private slots:
    void enablingTable()
    {
        Bench bench;
        QCOMPARE(bench.Buttons(), QStringLiteral("00000000")); // window opens
        bench.window->OnTimer(18);
        QCOMPARE(bench.Buttons(), QStringLiteral("10000001")); // start-up check passed
        QCOMPARE(bench.Find<QLabel>("labelModel")->text(), QStringLiteral("TLR-740plusII"));
        QVERIFY(!bench.Find<QComboBox>("comboPin1")->isEnabled()); // nothing to change before a status
        bench.Click("buttonGetStatus");
        QCOMPARE(bench.Texts(), std::vector<std::string>{"Success to get status of printer."});
        QCOMPARE(bench.Buttons(), QStringLiteral("11111111")); // Get Status succeeded
        QCOMPARE(bench.Find<QLabel>("labelFirmware")->textFormat(), Qt::PlainText); // a printer's "<b>" is text

        bench.Click("buttonPrintStatus");
        QCOMPARE(bench.machine.Paper().front(), std::string("[status sheet]"));
        // Print Codepage sends its command and nothing else: no check, no wait.
        const size_t writes = bench.machine.lastLink->Written().size();
        const size_t waits = bench.machine.Clock().Sleeps().size();
        bench.Click("buttonPrintCodepage");
        QCOMPARE(bench.machine.lastLink->Written().size(), writes + 1);
        QVERIFY(bench.machine.lastLink->Written().back().bytes == (std::vector<uint8_t>{0x08, 0x39, 0x02, 0x00}));
        QCOMPARE(bench.machine.Clock().Sleeps().size(), waits);
        QVERIFY(bench.Texts().empty());
        QCOMPARE(bench.Buttons(), QStringLiteral("11111111"));

        // Power save is off on the printer: it can be switched on with a new entrance time.
        bench.window->Tabs()->setCurrentIndex(1);
        QTest::mouseClick(bench.Find<QRadioButton>("radioPowerSaveEnable"), Qt::LeftButton);
        bench.Find<QLineEdit>("editEntranceTime")->selectAll();
        QTest::keyClicks(bench.Find<QLineEdit>("editEntranceTime"), "45");
        bench.Click("buttonSetStatus");
        QCOMPARE(bench.Texts(), std::vector<std::string>{"Success to set status of printer"});
        QCOMPARE(bench.Buttons(), QStringLiteral("11111111")); // Set Status done, no download
        QVERIFY(bench.machine.Printer().PowerSave());
        QCOMPARE(int(bench.machine.Printer().EntranceTime()), 45);

        bench.Click("buttonInitializeStatus");
        QCOMPARE(bench.Buttons(), QStringLiteral("11111111"));
        for (int slot = 0; slot < 8; ++slot)
            QCOMPARE(PinsOf(bench.window->Record(), slot), std::string("00000000"));
        QCOMPARE(bench.window->Record().doubleByteFontIndex, 1);
    }

    // The pace the main window's check box sets reaches Get Status: the same
    // pins in a tenth of the time.
    void getStatusUnderEitherPace()
    {
        sim::PrinterOptions options;
        options.switches[1] = 0x5A;
        std::string pins[2];
        int64_t micros[2] = {};
        for (const Pace pace : {Pace::Fixed, Pace::Reply}) {
            Bench bench(PortKind::Serial, options);
            bench.port.SetPace(pace);
            bench.Ready();
            pins[int(pace)] = PinsOf(bench.window->Record(), 1);
            micros[int(pace)] = bench.machine.Clock().NowMicros();
        }
        QCOMPARE(pins[1], pins[0]);
        QCOMPARE(pins[0], std::string("01011010"));
        QVERIFY2(micros[1] * 10 <= micros[0], std::to_string(micros[1]).c_str());
    }

    void printerHangsUp_data()
    {
        QTest::addColumn<int>("closeAfter");
        // After a whole Get Status and the choice of a font to download, which a stopped Set Status must not
        // start; otherwise the Get Status is cut.
        QTest::addColumn<bool>("setStatus");
        QTest::addColumn<int>("switchesRead");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail"); // the hang-up that caused it
        // The texts themselves are the command line's test too; here the window's boxes and state.
        QTest::newRow("Get Status, inside switch 3")
            << kBeforeSwitchQueries + 2 * 7 + 3 << false << 2
            << "The printer did not answer for: memory switch 3, memory switch 4, memory switch 5, memory switch 6, "
               "memory switch 11, memory switch 12, power save. These show \"No Change\" and Set Status leaves them "
               "as they are." << "write /dev/ttyS0: the device hung up";
        // Set Status: its check (11), then 8 + 8 x 15 + 9 + 6 + 3 bytes; cut inside the fourth switch write,
        // after the entry into user-setting mode went out.
        QTest::newRow("Set Status") << kReadyBytes + 11 + 8 + 3 * 15 + 7 << true << 8
                                    << "Set Status stopped after 71 of 157 bytes: the printer may still be in "
                                       "user-setting mode and may not hold the new status. Switch the printer off "
                                       "and on, then press Set Status again."
                                    << "read /dev/ttyS0: the device hung up";
    }

    void printerHangsUp()
    {
        QFETCH(int, closeAfter);
        QFETCH(bool, setStatus);
        QFETCH(int, switchesRead);
        QFETCH(QString, message);
        QFETCH(QString, detail);
        sim::PrinterOptions options;
        for (uint8_t& bits : options.switches)
            bits = 0x81; // pins 1 and 8 on
        options.powerSave = true;
        options.closeAfter = closeAfter;
        Bench bench(PortKind::Serial, options);
        bench.window->OnTimer(18);
        bench.Click("buttonGetStatus");
        if (setStatus) {
            QCOMPARE(bench.Texts(), std::vector<std::string>{"Success to get status of printer."});
            bench.Choose("comboDoubleByteFont", 2); // KS5601(Korean)
            bench.Click("buttonSetStatus");
        }
        const auto& shown = bench.machine.Recorded().Messages();
        QCOMPARE(shown, (std::vector<sim::RecordingMessageSink::Message>{
                            {message.toStdString(), "Warning", MessageIcon::Warning, detail.toStdString()}}));
        // What did come can be saved and set; what did not reads "No Change".
        QCOMPARE(bench.Buttons(), QStringLiteral("11111111"));
        for (int slot = 0; slot < (setStatus ? 7 : 8); ++slot) {
            const bool font = setStatus && slot == 1; // the font's choice cleared the code page
            QCOMPARE(PinsOf(bench.window->Record(), slot),
                     std::string(font ? "10000000" : slot < switchesRead ? "10000001" : "--------"));
        }
        // Without a power-save reply: mode 0, time 0, and the power-save controls off, as Set
        // Status leaves power save alone; selecting the tab again keeps them so.
        bench.window->Tabs()->setCurrentIndex(1);
        const bool powerSave = !message.contains("power save");
        QCOMPARE(bench.window->Tabs()->m_settingPage->Form().facts.powerSaveMode, powerSave ? 1 : 0);
        QCOMPARE(bench.Find<QLineEdit>("editEntranceTime")->isEnabled(), powerSave);
        QCOMPARE(bench.Find<QRadioButton>("radioPowerSaveEnable")->isEnabled(), powerSave);
        QCOMPARE(bench.Find<QLineEdit>("editEntranceTime")->text(), powerSave ? QStringLiteral("30") : QStringLiteral("0"));
    }

    void checkFailures()
    {
        // At start-up the window closes.
        sim::PrinterOptions noId;
        noId.wrongId = true;
        Bench start(PortKind::Ethernet, noId);
        start.window->OnTimer(18);
        QCOMPARE(start.Texts(), std::vector<std::string>{"Can't connect printer. Please restart printer."});
        QCOMPARE(start.window->result(), int(QDialog::Rejected));
        QVERIFY(!start.window->isVisible());

        // At Set Status it stays, with only Exit on.
        Bench bench;
        bench.Ready();
        bench.port.Close(); // the line is gone: every write and read fails
        bench.Click("buttonSetStatus");
        QCOMPARE(bench.Texts(), std::vector<std::string>{"Can't connect printer. Please restart printer."});
        QCOMPARE(bench.Buttons(), QStringLiteral("00000001"));
        QVERIFY(bench.window->isVisible());
        // Selecting a tab redraws its page enabled again.
        bench.window->Tabs()->setCurrentIndex(1);
        bench.window->Tabs()->setCurrentIndex(0);
        QVERIFY(bench.Find<QComboBox>("comboPin3")->isEnabled());
    }

    // The file's layout and what Load keeps are the file's tests; here the dialogs and what the window shows.
    void saveAndLoad()
    {
        sim::PrinterOptions options;
        options.switches[0] = 0x80;
        Bench bench(PortKind::Serial, options);
        bench.Ready();
        const std::string path = Path("round.sts");
        bench.Click("buttonSaveStatus", path);
        QCOMPARE(bench.dialogs.asked.back().title, std::string("Save current status"));
        QCOMPARE(bench.dialogs.asked.back().initialName, std::string("Noname.sts"));
        bench.Click("buttonInitializeStatus");
        bench.Click("buttonLoadStatus", path);
        QCOMPARE(bench.dialogs.asked.back().title, std::string("Load saved status"));
        QCOMPARE(PinsOf(bench.window->Record(), 0), std::string("00000001"));
        QCOMPARE(bench.Buttons(), QStringLiteral("11111111"));

        // Load refuses other names; a file that cannot be read is reported and changes nothing.
        const std::string upper = Path("upper.STS");
        QFile(QString::fromStdString(upper)).open(QIODevice::WriteOnly);
        bench.Click("buttonLoadStatus", upper);
        QCOMPARE(bench.Texts(), std::vector<std::string>{"Wrong format files loaded."});
        bench.Click("buttonLoadStatus", Path("missing.sts"));
        const std::vector<std::string> reason = bench.Texts();
        QVERIFY(reason.size() == 1 && reason[0].find("missing.sts") != std::string::npos);
        QCOMPARE(PinsOf(bench.window->Record(), 0), std::string("00000001"));
        bench.Click("buttonLoadStatus", std::nullopt); // cancelled
        QVERIFY(bench.Texts().empty());
    }

    void entranceTimeChecks()
    {
        Bench bench;
        bench.Ready();
        // Not a number, when a list is chosen after it: a notice.
        bench.window->Tabs()->setCurrentIndex(1);
        bench.Find<QRadioButton>("radioPowerSaveEnable")->setChecked(true); // not taken: it comes after the box
        bench.Find<QLineEdit>("editEntranceTime")->setText("3o");
        bench.Choose("comboEmulation", 2);
        QCOMPARE(bench.Texts().size(), size_t(1));
        auto& form = bench.window->Tabs()->m_settingPage->Form();
        QCOMPARE(form.facts.entranceTime, 30); // kept, as is the power-save mode
        QCOMPARE(form.facts.powerSaveMode, 0);
        QCOMPARE(bench.window->Record().switchPins[2][1], int32_t(PinOn)); // the lists before it were taken
        // Set Status refuses a time out of range.
        for (const char* text : {"5", "256", ""}) {
            bench.Find<QLineEdit>("editEntranceTime")->setText(text);
            const size_t before = bench.machine.lastLink->Written().size();
            bench.Click("buttonSetStatus");
            const auto texts = bench.Texts();
            QVERIFY(!texts.empty());
            QCOMPARE(texts.back(), std::string("Enterance time should be from 6 to 255."));
            QCOMPARE(bench.Find<QLineEdit>("editEntranceTime")->text(), QStringLiteral("20"));
            QCOMPARE(bench.Buttons(), QStringLiteral("11111111")); // buttons keep their state
            // Only the printer check went out: no user-setting command.
            for (size_t i = before; i < bench.machine.lastLink->Written().size(); ++i)
                QVERIFY(bench.machine.lastLink->Written()[i].bytes.size() < 7);
        }
    }

    void fontDownload_data()
    {
        QTest::addColumn<int>("closeAfter"); // font bytes the printer takes before it hangs up; -1 never
        QTest::addColumn<QStringList>("messages");
        const QString failed = QStringLiteral("Fail to download Font!");
        // A whole download runs seconds on the window's timers; one over a network link is the command line's test.
        QTest::newRow("GB2312, serial") << -1
                                        << QStringList{kFontChangeStarted, "Success to Download Font!, And Reboot Printer"};
        // Cut inside the third block; a missing image and a cut at the last write are the command line's test.
        QTest::newRow("printer gone in a block")
            << 64 + 2 * 4096 + 100 << QStringList{kFontChangeStarted, failed};
    }

    // Set Status with "GB2312(Simplified Chinese)" goes on into the download.
    void fontDownload()
    {
        QFETCH(int, closeAfter);
        QFETCH(QStringList, messages);
        const QByteArray bytes = QByteArray::fromStdString(test::FontImageBytes(615695));
        sim::PrinterOptions options;
        options.closeAfter = closeAfter < 0 ? -1 : kFontStart + closeAfter;
        Bench bench(PortKind::Serial, options);
        StartDownload(bench);
        const bool success = messages.back().startsWith("Success");
        QTRY_VERIFY_WITH_TIMEOUT(bench.Buttons() == QStringLiteral("11111111"), 20000);
        std::vector<std::string> shown;
        for (const QString& text : messages)
            shown.push_back(text.toStdString());
        QCOMPARE(bench.Texts(), shown);
        // The bytes of the image, unchanged, after those of Set Status; then the firmware and language queries.
        const int sent = closeAfter >= 0 ? closeAfter : int(bytes.size());
        QByteArray wire;
        for (const auto& chunk : bench.machine.lastLink->Written())
            wire.append(reinterpret_cast<const char*>(chunk.bytes.data()), qsizetype(chunk.bytes.size()));
        QVERIFY(wire.mid(kFontStart, sent) == bytes.left(sent));
        // The pacing is the download's test; here the ten reads 50 ms apart after it on a serial line.
        if (success) {
            QCOMPARE(wire.mid(kFontStart + sent).toHex(' '), QByteArray("1d 49 41 1d 49 45"));
            const auto& sleeps = bench.machine.Clock().Sleeps();
            const auto first = std::find(sleeps.begin(), sleeps.end(), 10u);
            QVERIFY(sleeps.end() - first >= 311);
            QCOMPARE(std::count(first + 301, first + 311, 50u), 10);
        }
        QCOMPARE(QString::fromStdString(bench.machine.Paper().empty() ? "" : bench.machine.Paper().back()),
                 success ? QStringLiteral("[font download complete: 615686 bytes]")
                         : QStringLiteral("[font download incomplete: %1 of 615686 bytes]").arg(sent - 9));
        QCOMPARE(bench.window->result(), int(success ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(bench.window->isVisible(), !success);
    }

    // Esc (as the frame's close button) in mid-download: no write after it,
    // the technician told what the printer holds, the port still usable.
    void closingStopsTheDownload()
    {
        Bench bench(PortKind::Ethernet);
        StartDownload(bench);
        auto& written = bench.machine.lastLink->Written();
        QTRY_VERIFY(written.size() > 30);
        QTest::keyClick(bench.window.get(), Qt::Key_Escape);
        const size_t writes = written.size();
        QVERIFY(!bench.window->isVisible());
        QCOMPARE(bench.window->result(), int(QDialog::Rejected));
        qsizetype fontBytes = -kFontStart;
        for (const auto& chunk : written)
            fontBytes += qsizetype(chunk.bytes.size());
        QCOMPARE(bench.Texts(), (std::vector<std::string>{
                                    kFontChangeStarted.toStdString(),
                                    "The font download stopped after " + std::to_string(fontBytes)
                                        + " of 615695 bytes. The printer holds a partial font until a download "
                                          "completes: set the font again with Set Status."}));
        QCoreApplication::processEvents();
        QCOMPARE(written.size(), writes);
        const uint8_t init[2] = {0x1B, 0x40};
        QCOMPARE(bench.port.Write(init, 2), 2);
    }

private:
    // The image of "GB2312(Simplified Chinese)" in the test's own font folder.
    void StartDownload(Bench& bench)
    {
        qputenv("KALO_FONT_DIR", m_dir.path().toUtf8());
        test::WriteFontImage(Path("font-142.bin"), test::FontImageBytes(615695));
        bench.Ready();
        bench.Choose("comboDoubleByteFont", 3); // GB2312(Simplified Chinese)
        bench.machine.Clock().ClearSleeps();
        bench.Click("buttonSetStatus");
        QCOMPARE(bench.Buttons(), QStringLiteral("00000000"));
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CStatusDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CStatusDlgTest.moc"
