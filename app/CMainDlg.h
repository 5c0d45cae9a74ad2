#pragma once

#include "connect/CRegistryKey.h"
#include "connect/PrinterIdentification.h"
#include "connect/ConnectionForm.h"
#include "connect/SpoolerQueues.h"
#include "platform/FileDialogs.h"
#include "platform/Platform.h"
#include "platform/Spooler.h"
#include "port/CPrinterPort.h"

#include <QDialog>
#include <QIcon>

#include <memory>

class CCommandEditorDlg;
class CStatusDlg;
class QAction;

namespace Ui {
class CMainDlg;
}

// What the main window works with, handed in so tests can give it an
// in-process printer, a recorded spooler and a registry of their own.
struct MainWindowServices {
    kalo::platform::Platform& platform;
    kalo::platform::Spooler& spooler;
    const kalo::CRegistryKey& registry;
    kalo::platform::FileDialogs& fileDialogs;
    std::string targetPrinter;
};

// The program's only top-level window: interface and line settings, Check
// Communication, Self Test, and the way into the other windows. It owns the
// port for its whole life and gives redirected spooler queues back when it goes.
class CMainDlg : public QDialog, private kalo::platform::UsbNoticeListener {
    Q_OBJECT
public:
    explicit CMainDlg(MainWindowServices services, QWidget* parent = nullptr);
    ~CMainDlg() override;

    bool IsConnected() const { return m_connected; }
    // The Printer Status window while it runs (tests reach it through this).
    CStatusDlg* StatusWindow() { return m_statusDlg; }
    // The Command Test Editor while it runs.
    CCommandEditorDlg* EditorWindow() { return m_editorDlg; }
    kalo::CPrinterPort& Port() { return m_port; }
    const kalo::SavedPrinterPorts& SavedPrinterPorts() const { return m_savedPrinterPorts; }
    const kalo::ConnectionForm& Form() const { return m_form; }

    // The USB printers of the family that are attached, as port-list entries.
    std::vector<std::string> EnumerateUsbPrinters();

public slots:
    void OnCheckCommunication();
    void OnSelfTest();
    void OnInterfaceSerial();
    void OnInterfaceParallel();
    void OnInterfaceUsb();
    void OnInterfaceEthernet();
    void OnSettingChanged();
    void OnRunManager();
    void OnCommandTestEditor();
    void OnAbout();
    // The context menu's check box: the pace of the port's waits for the rest of the run.
    void OnReplyPace(bool reply);
    // F5: the printer's state read again, as after each exchange.
    void OnRefreshState();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The one data exchange between the controls and the form, before and
    // after a handler.
    void ControlsToForm();
    void FormToControls();
    void EnableConnectedButtons(bool enable);
    void LeaveConnectedState();
    // The real-time status in the line under the buttons.
    void ShowPrinterState();
    void ShowMessage(const kalo::OutcomeMessage& message, const std::string& detail);
    // A USB printer came or went: the USB list is filled again while no
    // printer is connected.
    kalo::platform::UsbNoticeAnswer OnUsbNotice(const kalo::platform::UsbDeviceNotice& notice) override;

    std::unique_ptr<Ui::CMainDlg> m_ui;
    MainWindowServices m_services;
    kalo::ConnectionForm m_form; // m_registryKey, m_portName, m_interface and the other line members
    kalo::CPrinterPort m_port;
    // The Command Test Editor wrote since the window's last exchange.
    bool m_editorWroteLast = false;
    kalo::SavedPrinterPorts m_savedPrinterPorts;
    bool m_connected = false;
    CStatusDlg* m_statusDlg = nullptr;
    CCommandEditorDlg* m_editorDlg = nullptr;
    QAction* m_replyPace = nullptr; // on the context menu, checked for the reply pace
    QIcon m_icon;
};
