#include "CMainDlg.h"

#include "CAboutDlg.h"
#include "connect/EnvironmentPace.h"
#include "connect/SelfTest.h"
#include "editor/CCommandEditorDlg.h"
#include "UsbNoticePump.h"
#include "port/UsbPrinterSearch.h"
#include "port/WriteReport.h"
#include "status/BlockingExchange.h"
#include "status/CStatusDlg.h"
#include "status/RealTimeStatus.h"
#include "status/ComboBoxItems.h"
#include "ui_CMainDlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>

#include <iostream>

using namespace kalo;

namespace {

const char kAboutCommand[] = "&About KALO...";
const char kReplyPaceCommand[] = "Wait for replies, not fixed times";

void ShowList(QComboBox* combo, const ListControl& list)
{
    SetComboItems(combo, list.items);
    const QSignalBlocker quiet(combo);
    // A device's description is its tooltip, never part of its name.
    for (int i = 0; i < combo->count(); ++i) {
        const std::string description = size_t(i) < list.descriptions.size() ? list.descriptions[size_t(i)] : "";
        combo->setItemData(i, description.empty() ? QVariant() : QVariant(QString::fromStdString(description)),
                           Qt::ToolTipRole);
    }
    combo->setCurrentIndex(list.selected);
    if (list.selected < 0 && combo->isEditable())
        combo->setEditText(QString());
    combo->setEnabled(list.enabled);
}

int SelectedPosition(const QComboBox* combo)
{
    const int index = combo->currentIndex();
    // Typed text that is not the entry shown selects nothing.
    if (index >= 0 && combo->isEditable() && combo->currentText() != combo->itemText(index))
        return -1;
    return index;
}

} // namespace

CMainDlg::CMainDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CMainDlg>())
    , m_services(std::move(services))
    , m_port(m_services.platform)
    , m_icon(QStringLiteral(":/kalo/kalo.xpm"))
{
    m_ui->setupUi(this);
    setWindowIcon(m_icon);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ui->buttonCheckCommunication, &QPushButton::clicked, this, &CMainDlg::OnCheckCommunication);
    connect(m_ui->buttonSelfTest, &QPushButton::clicked, this, &CMainDlg::OnSelfTest);
    connect(m_ui->buttonRunManager, &QPushButton::clicked, this, &CMainDlg::OnRunManager);
    connect(m_ui->buttonCommandTestEditor, &QPushButton::clicked, this, &CMainDlg::OnCommandTestEditor);
    connect(m_ui->buttonExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->radioSerial, &QRadioButton::clicked, this, &CMainDlg::OnInterfaceSerial);
    connect(m_ui->radioParallel, &QRadioButton::clicked, this, &CMainDlg::OnInterfaceParallel);
    connect(m_ui->radioUsb, &QRadioButton::clicked, this, &CMainDlg::OnInterfaceUsb);
    connect(m_ui->radioEthernet, &QRadioButton::clicked, this, &CMainDlg::OnInterfaceEthernet);
    for (QComboBox* combo : {m_ui->comboPort, m_ui->comboBaudRate, m_ui->comboDataBits, m_ui->comboParity,
                             m_ui->comboStopBits, m_ui->comboFlowControl})
        connect(combo, qOverload<int>(&QComboBox::activated), this, &CMainDlg::OnSettingChanged);
    auto* about = new QShortcut(QKeySequence::HelpContents, this);
    connect(about, &QShortcut::activated, this, &CMainDlg::OnAbout);
    auto* refresh = new QShortcut(QKeySequence::Refresh, this);
    connect(refresh, &QShortcut::activated, this, &CMainDlg::OnRefreshState);

    // The Printer Status window and the editor borrow m_port, so its pace is theirs too.
    const EnvironmentPace pace = PaceFromEnvironment();
    if (!pace.refusal.empty())
        m_services.platform.Messages().Show(pace.refusal + ". The program goes on with fixed waits.", "Warning",
                                            platform::MessageIcon::Warning);
    m_port.SetPace(pace.pace);
    m_replyPace = new QAction(QString::fromUtf8(kReplyPaceCommand), this);
    m_replyPace->setObjectName(QStringLiteral("actionReplyPace"));
    m_replyPace->setCheckable(true);
    m_replyPace->setChecked(pace.pace == Pace::Reply);
    connect(m_replyPace, &QAction::toggled, this, &CMainDlg::OnReplyPace);

    new UsbNoticePump(m_services.platform.UsbWatcher(), this);
    m_services.platform.UsbWatcher().AddListener(this);

    m_form.enumerateUsb = [this] { return EnumerateUsbPrinters(); };
    m_form.enumerateSerial = [this] { return m_services.platform.ListSerialDevices(); };
    m_form.enumerateParallel = [this] { return m_services.platform.ListParallelDevices(); };
    m_form.messages = &m_services.platform.Messages();
    m_form.targetPrinter = m_services.targetPrinter;
    m_form.UpdateData(false);
    m_form.InitDialog(m_services.registry);
    FormToControls();
}

CMainDlg::~CMainDlg()
{
    m_services.platform.UsbWatcher().RemoveListener(this);
    if (m_connected) {
        m_port.Close();
        m_connected = false;
    }
    RestoreSpoolerQueues(m_services.spooler, m_savedPrinterPorts);
}

std::vector<std::string> CMainDlg::EnumerateUsbPrinters()
{
    std::vector<std::string> entries;
    for (UsbPrinterEntry& printer : FindUsbPrinters(m_services.platform, std::cout).printers)
        entries.push_back(std::move(printer.text));
    return entries;
}

platform::UsbNoticeAnswer CMainDlg::OnUsbNotice(const platform::UsbDeviceNotice& notice)
{
    const bool cameOrWent =
        notice.kind == platform::UsbNoticeKind::Arrival || notice.kind == platform::UsbNoticeKind::RemoveComplete;
    if (cameOrWent && !m_connected && m_ui->radioUsb->isChecked()) {
        ControlsToForm();
        m_form.RefillUsbList();
        FormToControls();
    }
    return platform::UsbNoticeAnswer::Granted;
}

void CMainDlg::ControlsToForm()
{
    const struct {
        QComboBox* combo;
        ListControl& list;
    } lists[] = {{m_ui->comboPort, m_form.portList},         {m_ui->comboBaudRate, m_form.baudList},
                 {m_ui->comboDataBits, m_form.dataBitsList}, {m_ui->comboParity, m_form.parityList},
                 {m_ui->comboStopBits, m_form.stopBitsList}, {m_ui->comboFlowControl, m_form.flowList}};
    for (const auto& entry : lists)
        entry.list.selected = SelectedPosition(entry.combo);
    m_form.interfaceRadio = m_ui->radioParallel->isChecked() ? PortKind::Parallel
        : m_ui->radioUsb->isChecked()                        ? PortKind::Usb
        : m_ui->radioEthernet->isChecked()                   ? PortKind::Ethernet
                                                             : PortKind::Serial;
    m_form.tcpPortText = m_ui->editTcpPort->text().trimmed().toStdString();
    m_ui->ipAddress->GetAddress(m_form.ipFields);
}

void CMainDlg::FormToControls()
{
    ShowList(m_ui->comboPort, m_form.portList);
    ShowList(m_ui->comboBaudRate, m_form.baudList);
    ShowList(m_ui->comboDataBits, m_form.dataBitsList);
    ShowList(m_ui->comboParity, m_form.parityList);
    ShowList(m_ui->comboStopBits, m_form.stopBitsList);
    ShowList(m_ui->comboFlowControl, m_form.flowList);
    switch (m_form.interfaceRadio) {
    case PortKind::Serial: m_ui->radioSerial->setChecked(true); break;
    case PortKind::Parallel: m_ui->radioParallel->setChecked(true); break;
    case PortKind::Usb: m_ui->radioUsb->setChecked(true); break;
    case PortKind::Ethernet: m_ui->radioEthernet->setChecked(true); break;
    }
    m_ui->editTcpPort->setText(QString::fromStdString(m_form.tcpPortText));
    m_ui->editTcpPort->setEnabled(m_form.tcpPortEnabled);
    m_ui->ipAddress->SetAddress(m_form.ipFields);
    m_ui->ipAddress->setEnabled(m_form.ipEnabled);
}

void CMainDlg::EnableConnectedButtons(bool enable)
{
    m_ui->buttonSelfTest->setEnabled(enable);
    m_ui->buttonRunManager->setEnabled(enable);
    m_ui->buttonCommandTestEditor->setEnabled(enable);
}

void CMainDlg::ShowMessage(const OutcomeMessage& message, const std::string& detail)
{
    m_services.platform.Messages().Show(message.text, message.caption, message.icon, detail);
}

void CMainDlg::OnCheckCommunication()
{
    if (m_connected)
        return;
    ControlsToForm();
    const PortSettings settings = m_form.BuildPortSettings();
    if (ConnectionForm::NeedsSpoolerRedirect(settings.portName))
        RedirectSpoolerQueues(m_services.spooler, m_services.platform.Ports(), m_form.portName, m_savedPrinterPorts);

    const IdentifyResult result = RunBlocking(
        [&] { return ConnectPrinter(m_port, settings, m_form.interfaceKind, m_services.platform.GetClock()); });

    m_connected = result.Connected();
    ShowMessage(MessageFor(result.outcome), platform::DescribeFailure(result.failure, settings.portName));
    if (m_connected) {
        EnableConnectedButtons(true);
        m_ui->buttonCheckCommunication->setEnabled(false);
        ShowPrinterState();
    }
}

void CMainDlg::ShowPrinterState()
{
    // A command the editor left unfinished would take the request's bytes as
    // its parameters: after the editor's writes the state is not asked.
    if (m_editorWroteLast) {
        m_ui->labelPrinterState->setText(
            QStringLiteral("Printer state: not read, as the last bytes sent came from the Command Test Editor"));
        return;
    }
    const RealTimeStatus status =
        RunBlocking([this] { return ReadRealTimeStatus(m_port, m_form.interfaceKind); });
    m_ui->labelPrinterState->setText(QStringLiteral("Printer state: ") + QString::fromStdString(status.Text()));
}

void CMainDlg::OnRefreshState()
{
    if (m_connected)
        ShowPrinterState();
}

void CMainDlg::OnSelfTest()
{
    m_ui->buttonRunManager->setEnabled(false);
    m_ui->buttonCommandTestEditor->setEnabled(false);
    m_port.StartOperation();
    const bool whole = RunBlocking([this] { return RunSelfTest(m_port, m_services.platform.GetClock()); });
    if (!whole)
        m_services.platform.Messages().Show(StoppedWriteMessage(WriteOperation::SelfTest, m_port.Tally()), "Warning",
                                            platform::MessageIcon::Warning, m_port.FailureText());
    m_editorWroteLast = false;
    ShowPrinterState();
    EnableConnectedButtons(m_connected);
}

void CMainDlg::OnRunManager()
{
    m_statusDlg = new CStatusDlg(m_services.platform, m_services.fileDialogs, &m_port, m_form.interfaceKind);
    const int result = m_statusDlg->exec();
    delete m_statusDlg;
    m_statusDlg = nullptr;
    // A finished font download ends the whole program.
    if (result == QDialog::Accepted) {
        accept();
        return;
    }
    m_editorWroteLast = false;
    ShowPrinterState();
}

void CMainDlg::OnCommandTestEditor()
{
    // Either way out (Close, Escape, the close box) leaves the printer connected.
    m_editorDlg = new CCommandEditorDlg(&m_port, m_services.platform.Messages(), m_services.fileDialogs);
    m_port.StartOperation();
    m_editorDlg->exec();
    m_editorWroteLast = m_editorWroteLast || m_port.Tally().requested > 0;
    delete m_editorDlg;
    m_editorDlg = nullptr;
}

void CMainDlg::LeaveConnectedState()
{
    if (!m_connected)
        return;
    EnableConnectedButtons(false);
    m_port.Close();
    m_ui->buttonCheckCommunication->setEnabled(true);
    m_ui->labelPrinterState->clear();
    m_editorWroteLast = false;
    m_connected = false;
}

void CMainDlg::OnInterfaceSerial()
{
    LeaveConnectedState();
    ControlsToForm();
    m_form.InterfaceSerial();
    FormToControls();
}

void CMainDlg::OnInterfaceParallel()
{
    LeaveConnectedState();
    ControlsToForm();
    m_form.InterfaceParallel();
    FormToControls();
}

void CMainDlg::OnInterfaceUsb()
{
    LeaveConnectedState();
    ControlsToForm();
    m_form.InterfaceUsb();
    FormToControls();
}

void CMainDlg::OnInterfaceEthernet()
{
    LeaveConnectedState();
    ControlsToForm();
    m_form.InterfaceEthernet();
    FormToControls();
}

void CMainDlg::OnSettingChanged()
{
    LeaveConnectedState();
}

void CMainDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainDlg::OnReplyPace(bool reply)
{
    m_port.SetPace(reply ? Pace::Reply : Pace::Fixed);
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(kAboutCommand), this, &CMainDlg::OnAbout);
    menu.addAction(m_replyPace);
    menu.exec(event->globalPos());
}
