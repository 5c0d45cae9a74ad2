#pragma once

#include "FontDownload.h"
#include "ResourceFonts.h"
#include "StatusExchange.h"
#include "StatusRecord.h"
#include "platform/FileDialogs.h"
#include "platform/Platform.h"
#include "port/CPrinterPort.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <memory>

class CStatusTab;
class CWaitDlg;
class QProgressBar;
class QPushButton;

namespace Ui {
class CStatusDlg;
}

// The Printer Status window: reads the printer's memory switches and
// settings, lets the two pages edit them, writes them back, prints the
// printer's sheets, and keeps them in status files. It borrows the main
// window's open port and never opens or closes it.
class CStatusDlg : public QDialog {
    Q_OBJECT
public:
    CStatusDlg(kalo::platform::Platform& platform, kalo::platform::FileDialogs& fileDialogs, kalo::CPrinterPort* port,
               kalo::PortKind interfaceKind, QWidget* parent = nullptr);
    ~CStatusDlg() override;

    // Timer 18 is the start-up check; 1, 2 and 3 belong to the font download.
    void OnTimer(int timerId);

    void OnGetStatus();
    void OnSetStatus();
    void OnSaveStatus();
    void OnLoadStatus();
    void OnInitializeStatus();
    void OnPrintStatus();
    void OnPrintCodepage();
    void OnExit();

    void EnableControls(bool enable);
    void StartFontDownload(int choice);

    // Esc and the frame's close button end a download in progress first.
    void reject() override;

    const kalo::StatusRecord& Record() const { return m_record; }
    kalo::StatusRecord& Record() { return m_record; }
    CStatusTab* Tabs() { return m_tabs; }
    bool WaitDialogShown() const { return m_waitDlg != nullptr; }

private:
    class ProgressBar;

    void SetButtons(std::initializer_list<QPushButton*> buttons, bool enable);
    void EnableAllButtons(bool withExit);
    void ShowMessage(const std::string& text, const std::string& caption, kalo::platform::MessageIcon icon);
    // A warning about the link, with the port's last failure as its detail.
    void ShowPortTrouble(const std::string& text);
    void OnFontDownloadFinished();
    void OnFontDownloadFailed();
    // Ends a download between two blocks: nothing more is written.
    void StopFontDownload();
    void StartBlockTimer();

    std::unique_ptr<Ui::CStatusDlg> m_ui;
    kalo::platform::Platform& m_platform;
    kalo::platform::FileDialogs& m_fileDialogs;
    kalo::StatusRecord m_record;
    kalo::CPrinterPort* m_port;
    kalo::PortKind m_interface;
    QPointer<QDialog> m_waitDlg; // the CWaitDlg while the start-up check runs
    std::unique_ptr<ProgressBar> m_progress;
    CStatusTab* m_tabs;
    std::unique_ptr<kalo::StatusExchange> m_exchange;
    QTimer m_startupTimer;
    // The font download: the image being sent and its three timers (the
    // next block, the end, the failure), each started explicitly.
    kalo::ResourceFonts m_builtInFonts;
    std::unique_ptr<kalo::FontDownload> m_fontDownload;
    QTimer m_fontBlockTimer;
    QTimer m_fontFinishedTimer;
    QTimer m_fontFailedTimer;
};
