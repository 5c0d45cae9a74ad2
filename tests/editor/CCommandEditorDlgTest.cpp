#include "editor/CCommandEditorDlg.h"
#include "sim/InProcessPlatform.h"

#include <fstream>

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
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
// run, and checks that it starts as it always does.
void AnswerDialog(const QString& action)
{
    QTimer::singleShot(0, [action] {
        QDialog* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        // A failed check leaves the inner function early; the dialog is closed all the same.
        [&] {
            if (auto* spin = dialog->findChild<QSpinBox*>("spinValue")) {
                auto* box = dialog->findChild<QCheckBox*>("checkDefaultLineSpacing");
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Range(0~255)"));
                QCOMPARE(spin->value(), 0);
                QVERIFY(spin->isEnabled() && !box->isChecked());
                if (action == "set200" || action == "default")
                    spin->setValue(200);
                for (const QChar key : action.startsWith("keys:") ? action.mid(5) : QString())
                    QTest::keyClick(spin, key == 'u' ? Qt::Key_Up : Qt::Key_Down);
                QTest::keyClicks(spin, "9"); // the number cannot be typed
                if (action == "default") {
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
                    QVERIFY(!spin->isEnabled());
                }
            } else if (auto* pages = dialog->findChild<QComboBox*>("comboCodePage")) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Codepage"));
                QCOMPARE(pages->count(), 37);
                QCOMPARE(pages->currentText(), QStringLiteral("PC437 (USA: Standard Europe)"));
                if (action.startsWith("page"))
                    pages->setCurrentIndex(action.mid(4).toInt());
            } else if (auto* images = dialog->findChild<QComboBox*>("comboImage")) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Address"));
                QCOMPARE(images->count(), 5);
                QCOMPARE(images->currentText(), QStringLiteral("01"));
                if (action.startsWith("type:")) {
                    images->lineEdit()->clear();
                    QTest::keyClicks(images->lineEdit(), action.mid(5));
                }
            }
            if (action == "close")
                dialog->close();
            else
                QTest::mouseClick(dialog->findChild<QPushButton*>(action == "cancel" ? "buttonCancel" : "buttonOk"),
                                  Qt::LeftButton);
        }();
        if (dialog->isVisible())
            dialog->reject();
    });
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
    QTest::newRow("spacing wraps below 0") << "" << QStringList{"buttonLineSpacing:keys:d"} << "1b 33 ff ";
    QTest::newRow("spacing wraps above 255") << "" << QStringList{"buttonLineSpacing:keys:du"} << "1b 33 00 ";
    QTest::newRow("default spacing") << "" << QStringList{"buttonLineSpacing:default"} << "1b 32 ";
    QTest::newRow("spacing cancelled") << "" << QStringList{"buttonLineSpacing:cancel"} << "";
    QTest::newRow("code page 10 (no 14)") << "" << QStringList{"buttonSelectCodepage:page10"} << "1b 74 15 ";
    QTest::newRow("code page 36, then afresh")
        << "" << QStringList{"buttonSelectCodepage:page36", "buttonSelectCodepage:ok"} << "1b 74 2f 1b 74 00 ";
    QTest::newRow("code page closed") << "" << QStringList{"buttonSelectCodepage:close"} << "";
    QTest::newRow("NV image typed 7") << "" << QStringList{"buttonPrintNvImage:type:7"} << "1c 70 7 00 ";
    QTest::newRow("NV image typed three characters, then afresh")
        << "" << QStringList{"buttonPrintNvImage:type:1a2", "buttonPrintNvImage:ok"} << "1c 70 1a2 00 1c 70 01 00 ";
    QTest::newRow("NV image cancelled") << "" << QStringList{"buttonPrintNvImage:cancel"} << "";
    QTest::newRow("long text scrolled to its end") << QString("1b 40\n").repeated(80) << QStringList{"buttonFeed"}
                                                   << QString("1b 40\n").repeated(80) + "0a ";
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
    QVERIFY(edit->viewport()->rect().contains(edit->cursorRect()));
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
    QTest::newRow("separators only") << " \n\t" << "buttonWriteCommand" << Chunks{} << -1;
    QTest::newRow("test string, text ignored") << "1b 40" << "buttonPrintTestString" << testWrites << -1;
    QTest::newRow("after a stalled write") << "1b 40 0a" << "buttonWriteCommand" << Chunks{{0x1B}, {0x1B, 0x40, 0x0A}} << 1;
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
    QTest::addColumn<QString>("text");   // in the editor before
    QTest::addColumn<QString>("file");   // what is at FOLDER/command.bin: bytes, or none
    QTest::addColumn<QString>("answer"); // the dialog's answer (FOLDER stands for the test's own), "" cancelled
    QTest::addColumn<QString>("after");  // the editor's text after
    QTest::addColumn<QString>("message"); // "text|caption"
    QTest::addColumn<QByteArray>("saved"); // the file after
    const QString file = "FOLDER/command.bin";
    const QByteArray init("\x1b\x40\x0a", 3);
    QTest::newRow("save replaces without asking") << "Save" << "1b 40 0a" << "old" << file << "1b 40 0a" << "" << init;
    QTest::newRow("save nothing") << "Save" << "" << "none" << file << "" << "No data to write|Warning" << QByteArray();
    QTest::newRow("save cancelled") << "Save" << "0a" << "none" << "" << "0a" << "Don't select save file|Warning"
                                    << QByteArray();
    QTest::newRow("load") << "Load" << "1b" << "\x1b\x40\x0a" << file << "1b 40 0a " << "" << init;
    QTest::newRow("load cancelled") << "Load" << "1b" << "none" << "" << "" << "Don't select load file|warning"
                                    << QByteArray();
}

void CCommandEditorDlgTest::savesAndLoads()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(QString, file);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(QByteArray, saved);
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/command.bin";
    if (file != "none")
        std::ofstream(path, std::ios::binary) << file.toStdString();

    Bench bench;
    bench.Edit()->setPlainText(text);
    const auto inFolder = [&](QString value) { return value.replace("FOLDER", folder.path()).toStdString(); };
    if (answer.isEmpty())
        bench.dialogs.answers.push_back(std::nullopt);
    else
        bench.dialogs.answers.push_back(inFolder(answer));
    bench.Click("button" + button);

    QTEST(QString::fromStdString(bench.window->CommandText()), "after");
    QCOMPARE(bench.Edit()->toPlainText(), QString::fromStdString(bench.window->CommandText()));
    if (button == "Load")
        QCOMPARE(bench.Edit()->textCursor().position(), 0);
    const auto& shown = bench.machine.Recorded().Messages();
    QCOMPARE(shown.size(), size_t(message.isEmpty() ? 0 : 1));
    if (!message.isEmpty()) {
        const QStringList parts = message.split('|');
        QCOMPARE(shown[0], (Message{inFolder(parts[0]), parts[1].toStdString(), platform::MessageIcon::Warning, ""}));
    }
    if (!saved.isNull())
        QCOMPARE(Contents(path), saved.toStdString());
    QVERIFY(bench.Written().empty());

    // The dialog is asked only when there is something to save.
    QCOMPARE(bench.dialogs.asked.size(), size_t(button == "Save" && text.isEmpty() ? 0 : 1));
    for (const auto& asked : bench.dialogs.asked)
        QCOMPARE(asked.initialName, std::string(button == "Save" ? "command.bin" : "*.bin"));
}

QTEST_MAIN(CCommandEditorDlgTest)
#include "CCommandEditorDlgTest.moc"
