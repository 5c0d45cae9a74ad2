#include "CStatusDlg.h"

#include "CMemSwitchPage.h"
#include "CPrinterSettingPage.h"
#include "CStatusTab.h"
#include "CWaitDlg.h"
#include "BlockingExchange.h"
#include "StatusApply.h"
#include "StatusFile.h"
#include "StatusTexts.h"
#include "port/WriteReport.h"
#include "ui_CStatusDlg.h"

#include <QProgressBar>

#include <algorithm>
#include <optional>

using namespace kalo;
using platform::MessageIcon;

namespace {
const char kStatusFilter[] = "Status Files (*.sts)|*.sts|";
const char kSendFontAgain[] = "set the font again with Set Status";
// The download's end closes the window and, with it, KALO.
const std::string kFontChangeStartedHere =
    std::string(kFontChangeStarted) + "\r\nWhen download is finished, KALO is closed.";
} // namespace

// The window's progress bar, 0..100, with the step sizes the exchanges set.
class CStatusDlg::ProgressBar final : public ProgressSink {
public:
    explicit ProgressBar(QProgressBar* bar) : m_bar(bar) { m_bar->setRange(0, 100); }
    void SetPosition(int position) override { m_state.SetPosition(position), Show(); }
    void SetStep(int step) override { m_state.SetStep(step); }
    void Step() override { m_state.Step(), Show(); }

private:
    void Show() { m_bar->setValue(m_state.Position()); }
    QProgressBar* m_bar;
    ProgressState m_state;
};

CStatusDlg::CStatusDlg(platform::Platform& platform, platform::FileDialogs& fileDialogs, CPrinterPort* port,
                       PortKind interfaceKind, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CStatusDlg>())
    , m_platform(platform)
    , m_fileDialogs(fileDialogs)
    , m_port(port)
    , m_interface(interfaceKind)
{
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/kalo/kalo.xpm")));
    m_tabs = m_ui->tabs;
    m_progress = std::make_unique<ProgressBar>(m_ui->progressBar);

    connect(m_ui->buttonGetStatus, &QPushButton::clicked, this, &CStatusDlg::OnGetStatus);
    connect(m_ui->buttonSetStatus, &QPushButton::clicked, this, &CStatusDlg::OnSetStatus);
    connect(m_ui->buttonSaveStatus, &QPushButton::clicked, this, &CStatusDlg::OnSaveStatus);
    connect(m_ui->buttonLoadStatus, &QPushButton::clicked, this, &CStatusDlg::OnLoadStatus);
    connect(m_ui->buttonInitializeStatus, &QPushButton::clicked, this, &CStatusDlg::OnInitializeStatus);
    connect(m_ui->buttonPrintStatus, &QPushButton::clicked, this, &CStatusDlg::OnPrintStatus);
    connect(m_ui->buttonPrintCodepage, &QPushButton::clicked, this, &CStatusDlg::OnPrintCodepage);
    connect(m_ui->buttonExit, &QPushButton::clicked, this, &CStatusDlg::OnExit);

    CPrinterSettingPage* setting = m_tabs->m_settingPage;
    m_exchange = std::make_unique<StatusExchange>(StatusExchange::Context{
        *m_port, m_interface, m_platform.GetClock(), m_platform.Messages(), *m_progress, m_record,
        setting->Form().facts, [setting] { setting->FormToControls(); }});

    // What opening the window does.
    m_waitDlg = new CWaitDlg(this);
    m_waitDlg->show();
    m_progress->SetStep(0);
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonPrintCodepage, m_ui->buttonSetStatus,
                m_ui->buttonSaveStatus, m_ui->buttonLoadStatus, m_ui->buttonInitializeStatus, m_ui->buttonExit},
               false);
    for (auto& row : m_record.switchPins)
        for (int32_t& pin : row)
            pin = 0;
    m_tabs->CreatePages();
    setting->SetRecord(&m_record);
    setting->SetMessages(&m_platform.Messages());
    setting->Form().hasStatus = false;
    m_tabs->m_memSwitchPage->SetRecord(&m_record);
    m_tabs->m_memSwitchPage->SetHasStatus(false);
    m_startupTimer.setObjectName(QStringLiteral("timerStartup"));
    m_startupTimer.setSingleShot(true);
    connect(&m_startupTimer, &QTimer::timeout, this, [this] { OnTimer(18); });
    m_startupTimer.start(1000);

    const struct {
        QTimer& timer;
        const char* name;
        int id;
    } fontTimers[] = {{m_fontBlockTimer, "timerFontBlock", 1},
                      {m_fontFinishedTimer, "timerFontFinished", 2},
                      {m_fontFailedTimer, "timerFontFailed", 3}};
    for (const auto& font : fontTimers) {
        font.timer.setParent(this); // a member: it leaves its parent before the parent goes
        font.timer.setObjectName(QString::fromLatin1(font.name));
        font.timer.setSingleShot(true);
        font.timer.setTimerType(Qt::PreciseTimer);
        connect(&font.timer, &QTimer::timeout, this, [this, id = font.id] { OnTimer(id); });
    }
}

CStatusDlg::~CStatusDlg()
{
    delete m_waitDlg;
}

void CStatusDlg::SetButtons(std::initializer_list<QPushButton*> buttons, bool enable)
{
    for (QPushButton* button : buttons)
        button->setEnabled(enable);
}

void CStatusDlg::EnableAllButtons(bool withExit)
{
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonPrintCodepage, m_ui->buttonSetStatus,
                m_ui->buttonSaveStatus, m_ui->buttonLoadStatus, m_ui->buttonInitializeStatus},
               true);
    if (withExit)
        m_ui->buttonExit->setEnabled(true);
}

void CStatusDlg::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    m_platform.Messages().Show(text, caption, icon);
}

void CStatusDlg::ShowPortTrouble(const std::string& text)
{
    m_platform.Messages().Show(text, "Warning", MessageIcon::Warning, m_port->FailureText());
}

void CStatusDlg::EnableControls(bool enable)
{
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonPrintCodepage, m_ui->buttonSetStatus,
                m_ui->buttonSaveStatus},
               enable);
    m_tabs->m_settingPage->RefreshSettingPage(enable);
    m_tabs->m_memSwitchPage->EnableNext(enable);
    m_tabs->m_memSwitchPage->ShowSwitch(1, enable);
}

void CStatusDlg::OnTimer(int timerId)
{
    if (timerId == 18) {
        m_startupTimer.stop();
        m_port->StartOperation();
        m_progress->SetPosition(0);
        const bool answered = RunBlocking([this] { return m_exchange->CheckPrinter(); });
        if (!answered) {
            m_progress->SetPosition(100);
            reject();
        }
        m_progress->SetPosition(100);
        m_tabs->m_memSwitchPage->FormToControls();
        m_tabs->m_settingPage->FormToControls();
        SetButtons({m_ui->buttonGetStatus, m_ui->buttonExit}, true);
        m_progress->SetPosition(0);
        delete m_waitDlg;
        activateWindow();
        return;
    }
    if (timerId == 1) {
        m_fontBlockTimer.stop();
        if (!m_fontDownload)
            return;
        switch (m_fontDownload->Tick()) {
        case FontDownload::Next::Tick: StartBlockTimer(); break;
        case FontDownload::Next::Finished: m_fontFinishedTimer.start(int(FontDownload::kTickMs)); break;
        case FontDownload::Next::Failed:
            if (m_fontDownload->Outcome().end == FontDownloadEnd::FinalWriteFailed)
                ShowMessage(kFontFinalWriteFailed, "", MessageIcon::Information);
            m_fontFailedTimer.start(int(FontDownload::kTickMs));
            break;
        }
        return;
    }
    if (timerId == 2)
        OnFontDownloadFinished();
    else
        OnFontDownloadFailed();
}

void CStatusDlg::StartFontDownload(int choice)
{
    m_fontDownload.reset();
    m_progress->SetStep(1);
    m_progress->SetPosition(10);
    const FontChoice* font = FindFontChoice(choice);
    FontImage image;
    std::string error = "No double-byte font is downloaded for choice " + std::to_string(choice) + ".";
    // A missing or damaged image ends the download before a byte is sent.
    if (!font || !LoadFontImage(FontLocations::FromEnvironment(&m_builtInFonts), *font, image, error)) {
        ShowMessage(error, "Warning", MessageIcon::Warning);
        m_fontFailedTimer.start(int(FontDownload::kTickMs));
        return;
    }
    m_port->StartOperation();
    m_fontDownload = std::make_unique<FontDownload>(*m_port, m_platform.GetClock(), *m_progress, std::move(image));
    m_fontDownload->Start();
    StartBlockTimer();
}

void CStatusDlg::StartBlockTimer()
{
    // A timer fires up to a millisecond late; started that much early, the
    // tick itself waits out the rest, so the blocks keep their pace.
    const int64_t left = m_fontDownload->NextTickDue() - m_platform.GetClock().NowMicros();
    m_fontBlockTimer.start(int(std::max<int64_t>(0, left / 1000 - 1)));
}

void CStatusDlg::OnFontDownloadFinished()
{
    m_fontFinishedTimer.stop();
    m_fontDownload.reset();
    RunBlocking([this] {
        DrainAfterFontDownload(*m_port, m_platform.GetClock(), m_interface);
        m_exchange->ReadFirmwareAndLanguage();
    });
    CPrinterSettingPage* setting = m_tabs->m_settingPage;
    setting->FormToControls();
    setting->RefreshSettingPage(true);
    ShowMessage(kFontDownloadSucceeded, "Information", MessageIcon::Information);
    EnableAllButtons(true);
    m_progress->SetPosition(0);
    accept();
}

void CStatusDlg::OnFontDownloadFailed()
{
    m_fontFailedTimer.stop();
    std::string detail;
    if (m_fontDownload) {
        detail = PartialFontMessage(m_fontDownload->Outcome(), kSendFontAgain);
        if (const std::string reason = m_port->FailureText(); !reason.empty())
            detail += "\n" + reason;
        m_fontDownload.reset();
    }
    m_platform.Messages().Show(kFontDownloadFailed, "Warning", MessageIcon::Warning, detail);
    EnableAllButtons(true);
    m_progress->SetPosition(0);
}

void CStatusDlg::StopFontDownload()
{
    const bool whole = m_fontFinishedTimer.isActive();
    for (QTimer* timer : {&m_fontBlockTimer, &m_fontFinishedTimer, &m_fontFailedTimer})
        timer->stop();
    m_fontDownload->Stop();
    const FontDownloadOutcome outcome = m_fontDownload->Outcome();
    m_fontDownload.reset();
    // Once the last block is out the printer has the whole font: nothing to warn of.
    if (!whole)
        ShowMessage(PartialFontMessage(outcome, kSendFontAgain), "Warning", MessageIcon::Warning);
}

void CStatusDlg::reject()
{
    if (m_fontDownload)
        StopFontDownload();
    QDialog::reject();
}

void CStatusDlg::OnGetStatus()
{
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonPrintCodepage, m_ui->buttonSetStatus,
                m_ui->buttonSaveStatus, m_ui->buttonLoadStatus, m_ui->buttonInitializeStatus},
               false);
    m_port->StartOperation();
    const std::optional<StatusReadReport> read = RunBlocking([this]() -> std::optional<StatusReadReport> {
        if (!m_exchange->CheckPrinter())
            return std::nullopt;
        return m_exchange->ReadStatus();
    });
    if (!read) {
        EnableControls(false);
        SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintCodepage, m_ui->buttonPrintStatus,
                    m_ui->buttonLoadStatus, m_ui->buttonInitializeStatus},
                   false);
        reject();
        return;
    }
    const StatusReadReport& report = *read;
    if (report.Complete())
        ShowMessage(kGetStatusSucceeded, "Information", MessageIcon::Information);
    else
        ShowPortTrouble(NoAnswerMessage(report));

    CPrinterSettingPage* setting = m_tabs->m_settingPage;
    CMemSwitchPage* switches = m_tabs->m_memSwitchPage;
    switches->FormToControls();
    setting->FormToControls();
    setting->Form().hasStatus = true;
    EnableControls(true);
    EnableAllButtons(false);
    setting->Form().hasStatus = true;
    switches->SetHasStatus(true);
    setting->RefreshSettingPage(true);
    switches->ShowSwitch(switches->CurrentSwitch(), true);
    m_progress->SetPosition(0);
}

void CStatusDlg::OnSetStatus()
{
    CPrinterSettingPage* setting = m_tabs->m_settingPage;
    CMemSwitchPage* switches = m_tabs->m_memSwitchPage;
    // The counts of a stopped Set Status cover its check and its writes.
    m_port->StartOperation();
    const bool answered = RunBlocking([this] { return m_exchange->CheckPrinter(); });
    if (!answered) {
        EnableControls(false);
        SetButtons({m_ui->buttonLoadStatus, m_ui->buttonInitializeStatus}, false);
        return;
    }
    const bool readable = setting->ControlsToForm(false);
    if (EntranceTimeRefused(setting->Form().facts, readable)) {
        m_progress->SetPosition(0);
        ShowMessage(PrinterSettingForm::kEntranceTimeRange, "Warning", MessageIcon::Warning);
        setting->SetEntranceTime(20);
        return;
    }
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonSetStatus, m_ui->buttonSaveStatus,
                m_ui->buttonLoadStatus, m_ui->buttonInitializeStatus, m_ui->buttonPrintCodepage, m_ui->buttonExit},
               false);
    setting->DisableInputs();
    setting->repaint();

    std::optional<BlockingExchange> blocked(std::in_place);
    const bool whole = m_exchange->WriteStatus();
    const CPrinterPort::WriteTally tally = m_port->Tally();
    switches->FormToControls();
    switches->ShowSwitch(switches->CurrentSwitch(), true);
    m_progress->SetPosition(100);

    const int choice = setting->Form().doubleByteFontChoice;
    if (!FontDownloadFollows(choice, whole)) {
        m_exchange->ReadFirmwareAndLanguage();
        blocked.reset();
        setting->FormToControls();
        setting->RefreshSettingPage(true);
        if (whole)
            ShowMessage(kSetStatusSucceeded, "", MessageIcon::Information);
        else
            ShowPortTrouble(StoppedWriteMessage(m_exchange->SetStatusOperation(), tally));
        m_progress->SetPosition(0);
        EnableAllButtons(true);
        setting->repaint();
        return;
    }
    blocked.reset();
    setting->DisableDoubleByteAndCodePage();
    ShowMessage(kFontChangeStartedHere, "", MessageIcon::Information);
    m_progress->SetPosition(0);
    setting->repaint();
    StartFontDownload(choice);
}

namespace {

platform::FileDialogRequest StatusFileRequest(bool save)
{
    platform::FileDialogRequest request;
    request.kind = save ? platform::FileDialogRequest::Save : platform::FileDialogRequest::Open;
    request.title = save ? "Save current status" : "Load saved status";
    request.initialName = save ? "Noname.sts" : "*.sts";
    request.filter = kStatusFilter;
    request.overwritePrompt = true;
    request.createPrompt = save;
    request.mustExist = !save;
    return request;
}

} // namespace

void CStatusDlg::OnSaveStatus()
{
    std::string path;
    if (!m_fileDialogs.Choose(StatusFileRequest(true), path))
        return;
    std::string error;
    if (!StatusFile::Save(path, m_record, error))
        ShowMessage(error, "Warning", MessageIcon::Warning);
}

void CStatusDlg::OnLoadStatus()
{
    std::string path;
    if (!m_fileDialogs.Choose(StatusFileRequest(false), path))
        return;
    if (!StatusFile::HasStatusExtension(path)) {
        ShowMessage(kWrongStatusFormat, "Warning", MessageIcon::Warning);
        return;
    }
    std::string error;
    if (!StatusFile::Load(path, m_record, error)) {
        ShowMessage(error, "Warning", MessageIcon::Warning);
        return;
    }
    CPrinterSettingPage* setting = m_tabs->m_settingPage;
    setting->Form().hasStatus = true;
    setting->FormToControls();
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonPrintCodepage, m_ui->buttonSetStatus,
                m_ui->buttonSaveStatus},
               true);
    setting->RefreshSettingPage(true);
    m_tabs->m_memSwitchPage->ShowSwitch(m_tabs->m_memSwitchPage->CurrentSwitch(), true);
    setting->repaint();
}

void CStatusDlg::OnInitializeStatus()
{
    CPrinterSettingPage* setting = m_tabs->m_settingPage;
    CMemSwitchPage* switches = m_tabs->m_memSwitchPage;
    m_record.doubleByteFontIndex = 1;
    setting->RefreshSettingPage(true);
    setting->Form().hasStatus = true;
    setting->FormToControls();
    SetButtons({m_ui->buttonGetStatus, m_ui->buttonPrintStatus, m_ui->buttonPrintCodepage, m_ui->buttonSetStatus,
                m_ui->buttonSaveStatus},
               true);
    switches->ShowSwitch(switches->CurrentSwitch(), true);
    switches->ResetAllSwitches();
    setting->repaint();
}

void CStatusDlg::OnPrintStatus()
{
    m_port->StartOperation();
    const bool answered = RunBlocking([this] { return m_exchange->PrintStatus(); });
    // A failed check has told the technician already.
    if (answered && !WentOutWhole(*m_port))
        ShowPortTrouble(StoppedWriteMessage(WriteOperation::PrintStatus, m_port->Tally()));
}

void CStatusDlg::OnPrintCodepage()
{
    m_port->StartOperation();
    if (!RunBlocking([this] { return m_exchange->PrintCodepage(); }, BlockingExchange::NoCursor))
        ShowPortTrouble(StoppedWriteMessage(WriteOperation::PrintCodepage, m_port->Tally()));
}

void CStatusDlg::OnExit()
{
    reject();
}
