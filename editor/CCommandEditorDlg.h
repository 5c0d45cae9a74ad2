#pragma once

#include "platform/FileDialogs.h"
#include "platform/MessageSink.h"
#include "port/CPrinterPort.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class CCommandEditorDlg;
}

// "Command Test Editor": command bytes typed in hexadecimal or built from
// snippets, sent to the printer, kept in command files. It borrows the main
// window's open port and only ever writes to it.
class CCommandEditorDlg : public QDialog {
    Q_OBJECT
public:
    CCommandEditorDlg(kalo::CPrinterPort* port, kalo::platform::MessageSink& messages,
                      kalo::platform::FileDialogs& fileDialogs, QWidget* parent = nullptr);
    ~CCommandEditorDlg() override;

    const std::string& CommandText() const { return m_commandText; }

public slots:
    void OnWriteCommand();
    void OnPrintTestString();
    void OnFontA();
    void OnFontB();
    void OnLineSpacing();
    void OnSelectCodepage();
    void OnBold();
    void OnUnderline();
    void OnLeftAlignment();
    void OnCenterAlignment();
    void OnRightAlignment();
    void OnPaperCut();
    void OnFeed();
    void OnPrintNvImage();
    void OnOpenDrawer1();
    void OnOpenDrawer2();
    void OnClear();
    void OnSave();
    void OnLoad();

private:
    // Adds text at the end (never at the caret) and leaves the caret after
    // it with the end in view.
    void AppendSnippet(const std::string& text);
    void ShowText();
    void Warn(const std::string& text, const char* caption);

    std::unique_ptr<Ui::CCommandEditorDlg> m_ui;
    kalo::CPrinterPort* m_port;
    kalo::platform::MessageSink& m_messages;
    kalo::platform::FileDialogs& m_fileDialogs;
    std::string m_commandText; // always what the edit shows
};
