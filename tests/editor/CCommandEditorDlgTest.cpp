#include "editor/CCommandEditorDlg.h"
#include "sim/InProcessPlatform.h"
#include "support/WireLogText.h"

#include <fstream>

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace kalo;
using Message = sim::RecordingMessageSink::Message;
using Chunks = std::vector<std::vector<uint8_t>>;

namespace {

struct Bench {
    explicit Bench(const char* portName = "COM1")
        : port(machine)
    {
        port.Configure(LinePortSettings(portName, 9600, 8, 0, 0, 0));
        port.Open();
        window = std::make_unique<CCommandEditorDlg>(&port, machine.Messages(), dialogs);
        window->show();
    }
    QPlainTextEdit* Edit() { return window->findChild<QPlainTextEdit*>("editCommand"); }
    // Near the left edge: a check box takes clicks on its box and text only.
    void Click(const QString& name)
    {
        auto* button = window->findChild<QAbstractButton*>(name);
        QVERIFY2(button, qPrintable(name));
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    Chunks Written() const
    {
        Chunks chunks;
        for (const auto& chunk : machine.lastLink->Written())
            chunks.push_back(chunk.bytes);
        return chunks;
    }

    sim::InProcessPlatform machine;
    CPrinterPort port;
    platform::ScriptedFileDialogs dialogs;
    std::unique_ptr<CCommandEditorDlg> window;
};

// Answers the parameter dialog the next click opens, from inside its modal
// run; the rows that take its first value show where it starts.
void AnswerDialog(const QString& action)
{
    QTimer::singleShot(0, [action] {
        QDialog* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (auto* spin = dialog->findChild<QSpinBox*>("spinValue")) {
            if (action == "set200" || action == "default")
                spin->setValue(200);
            if (action == "down")
                QTest::keyClick(spin, Qt::Key_Down);
            QTest::keyClicks(spin, "9"); // the number cannot be typed
            if (action == "default") {
                auto* box = dialog->findChild<QCheckBox*>("checkDefaultLineSpacing");
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            }
        } else if (auto* pages = dialog->findChild<QComboBox*>("comboCodePage")) {
            if (action.startsWith("page"))
                pages->setCurrentIndex(action.mid(4).toInt());
        } else if (auto* images = dialog->findChild<QComboBox*>("comboImage")) {
            if (action.startsWith("type:")) {
                images->lineEdit()->clear();
                QTest::keyClicks(images->lineEdit(), action.mid(5));
            }
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>(action == "cancel" ? "buttonCancel" : "buttonOk"),
                          Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace

class CCommandEditorDlgTest : public QObject {
    Q_OBJECT
private slots:
    void snippetsAppendAtTheEnd_data();
    void snippetsAppendAtTheEnd();
    void writesToThePrinter_data();
    void writesToThePrinter();
    void savesAndLoads_data();
    void savesAndLoads();
};

void CCommandEditorDlgTest::snippetsAppendAtTheEnd_data()
{
    QTest::addColumn<QString>("typed"); // typed first, the caret then put at the start
    QTest::addColumn<QStringList>("clicks"); // "button" or "button:what its dialog is answered"
    QTest::addColumn<QString>("text");
    // Check boxes add their "on" command, then their "off" one.
    QTest::newRow("every plain button")
        << "" << QStringList{"buttonFontA", "buttonFontB", "checkBold", "checkBold", "checkUnderline", "checkUnderline",
                             "buttonLeftAlignment", "buttonCenterAlignment", "buttonRightAlignment", "buttonPaperCut",
                             "buttonFeed", "buttonOpenDrawer1", "buttonOpenDrawer2"}
        << "1b 21 00 1b 21 01 1b 45 01 1b 45 00 1b 2d 01 1b 2d 00 1b 61 00 1b 61 01 1b 61 02 0a 1d 56 42 00 0a "
           "1b 70 00 19 ff 1b 70 01 19 ff ";
    QTest::newRow("at the end, not at the caret") << "1b" << QStringList{"buttonFeed"} << "1b0a ";
    QTest::newRow("Clear") << "1b" << QStringList{"buttonFeed", "buttonClear", "buttonFontA"} << "1b 21 00 ";
    QTest::newRow("spacing 200") << "" << QStringList{"buttonLineSpacing:set200"} << "1b 33 c8 ";
    QTest::newRow("spacing wraps below 0") << "" << QStringList{"buttonLineSpacing:down"} << "1b 33 ff ";
    QTest::newRow("default spacing") << "" << QStringList{"buttonLineSpacing:default"} << "1b 32 ";
    QTest::newRow("spacing cancelled") << "" << QStringList{"buttonLineSpacing:cancel"} << "";
    QTest::newRow("code page 10 (no 14)") << "" << QStringList{"buttonSelectCodepage:page10"} << "1b 74 15 ";
    QTest::newRow("code page 36, then afresh")
        << "" << QStringList{"buttonSelectCodepage:page36", "buttonSelectCodepage:ok"} << "1b 74 2f 1b 74 00 ";
    QTest::newRow("NV image typed three characters, then afresh")
        << "" << QStringList{"buttonPrintNvImage:type:1a2", "buttonPrintNvImage:ok"} << "1c 70 1a2 00 1c 70 01 00 ";
}

void CCommandEditorDlgTest::snippetsAppendAtTheEnd()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, clicks);
    QFETCH(QString, text);
    Bench bench;
    QPlainTextEdit* edit = bench.Edit();
    edit->insertPlainText(typed); // as pasted
    edit->moveCursor(QTextCursor::Start);
    for (const QString& click : clicks) {
        const qsizetype colon = click.indexOf(':');
        if (colon > 0)
            AnswerDialog(click.mid(colon + 1));
        bench.Click(click.left(colon));
    }
    QCOMPARE(QString::fromStdString(bench.window->CommandText()), text);
    QCOMPARE(edit->toPlainText(), text);
    QCOMPARE(edit->textCursor().position(), int(text.size()));
    QCOMPARE(edit->textCursor().hasSelection(), false);
    QVERIFY(bench.Written().empty());
}

void CCommandEditorDlgTest::writesToThePrinter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<Chunks>("written");
    QTest::addColumn<int>("stallAfter"); // >= 0: a click before, on LPT1, stalls after so many bytes
    const std::string test = "Command Test String Line1\r\nCommand Test String Line2";
    const Chunks testWrites = {{test.begin(), test.end()}, {0x1B, 0x4A, 0xFF}};
    QTest::newRow("one write") << "1b 40\n1b 45 01\n\t" << "buttonWriteCommand" << Chunks{{0x1B, 0x40, 0x1B, 0x45, 0x01}} << -1;
    QTest::newRow("Return closes, writes nothing") << "1b 40" << "" << Chunks{} << -1;
    QTest::newRow("empty text") << "" << "buttonWriteCommand" << Chunks{} << -1;
    QTest::newRow("test string, text ignored") << "1b 40" << "buttonPrintTestString" << testWrites << -1;
    QTest::newRow("test string after a stalled one") << "" << "buttonPrintTestString"
                                                     << Chunks{{'C', 'o'}, testWrites[0], testWrites[1]} << 2;
}

void CCommandEditorDlgTest::writesToThePrinter()
{
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(int, stallAfter);
    Bench bench(stallAfter >= 0 ? "LPT1" : "COM1");
    bench.Edit()->setPlainText(text);
    if (stallAfter >= 0) {
        bench.machine.parallelWriteStopsAfter = stallAfter;
        bench.Click(button);
        bench.machine.parallelWriteStopsAfter = -1;
    }
    if (button.isEmpty())
        QTest::keyClick(bench.window->findChild<QCheckBox*>("checkBold"), Qt::Key_Return);
    else
        bench.Click(button);
    QCOMPARE(bench.window->isVisible(), !button.isEmpty());
    QTEST(bench.Written(), "written");
    QCOMPARE(QString::fromStdString(bench.window->CommandText()), text);
    QVERIFY(bench.machine.Recorded().Messages().empty());
}

void CCommandEditorDlgTest::savesAndLoads_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");    // in the editor before
    QTest::addColumn<QByteArray>("file"); // at command.bin before and after; null for none
    QTest::addColumn<bool>("answered");   // the file dialog names command.bin; or it is cancelled
    QTest::addColumn<QString>("after");   // the editor's text after
    QTest::addColumn<QString>("message"); // "text|caption"
    const QByteArray init("\x1b\x40\xff", 3); // a byte above 0x7f kept both ways
    QTest::newRow("save replaces without asking") << "Save" << "1b 40 ff" << init << true << "1b 40 ff" << "";
    QTest::newRow("save nothing") << "Save" << "" << QByteArray() << true << "" << "No data to write|Warning";
    QTest::newRow("save cancelled") << "Save" << "0a" << QByteArray() << false << "0a" << "Don't select save file|Warning";
    QTest::newRow("load") << "Load" << "1b" << init << true << "1b 40 ff " << "";
    QTest::newRow("load cancelled") << "Load" << "1b" << QByteArray() << false << "" << "Don't select load file|warning";
}

void CCommandEditorDlgTest::savesAndLoads()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(QByteArray, file);
    QFETCH(bool, answered);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/command.bin";
    if (!file.isNull())
        std::ofstream(path, std::ios::binary) << (button == "Save" ? "old" : file.toStdString());
    Bench bench;
    bench.Edit()->setPlainText(text);
    bench.dialogs.answers.push_back(answered ? std::optional<std::string>(path) : std::nullopt);
    bench.Click("button" + button);

    QTEST(QString::fromStdString(bench.window->CommandText()), "after");
    QCOMPARE(bench.Edit()->toPlainText(), QString::fromStdString(bench.window->CommandText()));
    if (button == "Load")
        QCOMPARE(bench.Edit()->textCursor().position(), 0);
    const QStringList parts = message.split('|');
    std::vector<Message> told;
    if (!message.isEmpty())
        told.push_back({parts[0].toStdString(), parts[1].toStdString(), platform::MessageIcon::Warning, ""});
    QCOMPARE(bench.machine.Recorded().Messages(), told);
    QCOMPARE(QByteArray::fromStdString(test::FileBytes(path)), file.isNull() ? QByteArray("") : file);
    QVERIFY(bench.Written().empty());
    // The dialog is asked only when there is something to save.
    QCOMPARE(bench.dialogs.asked.size(), size_t(button == "Save" && text.isEmpty() ? 0 : 1));
    for (const auto& asked : bench.dialogs.asked)
        QCOMPARE(asked.initialName, std::string(button == "Save" ? "command.bin" : "*.bin"));
}

QTEST_MAIN(CCommandEditorDlgTest)
#include "CCommandEditorDlgTest.moc"
