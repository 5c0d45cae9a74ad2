#include "CCommandEditorDlg.h"

#include "CCodepageDlg.h"
#include "CLineSpacingDlg.h"
#include "CNvImageDlg.h"
#include "editor/CommandFile.h"
#include "editor/CommandSend.h"
#include "editor/CommandSnippets.h"
#include "status/BlockingExchange.h"
#include "ui_CCommandEditorDlg.h"

#include <QTextCursor>

using namespace kalo;

namespace {

const char kFilter[] = "Binary files(*.bin)|*.bin|All files(*.*)|*.*||";

platform::FileDialogRequest CommandFileRequest(platform::FileDialogRequest::Kind kind)
{
    platform::FileDialogRequest request;
    request.kind = kind;
    request.title = kind == platform::FileDialogRequest::Save ? "Save" : "Load";
    request.initialName = kind == platform::FileDialogRequest::Save ? "command.bin" : "*.bin";
    request.filter = kFilter;
    request.defaultExtension = "bin";
    request.overwritePrompt = false;
    request.mustExist = false;
    return request;
}

} // namespace

CCommandEditorDlg::CCommandEditorDlg(CPrinterPort* port, platform::MessageSink& messages,
                                     platform::FileDialogs& fileDialogs, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CCommandEditorDlg>())
    , m_port(port)
    , m_messages(messages)
    , m_fileDialogs(fileDialogs)
{
    m_ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Every change in the edit is in the field at once, whoever made it.
    connect(m_ui->editCommand, &QPlainTextEdit::textChanged, this,
            [this] { m_commandText = m_ui->editCommand->toPlainText().toStdString(); });

    const struct {
        QAbstractButton* button;
        void (CCommandEditorDlg::*handler)();
    } handlers[] = {
        {m_ui->buttonWriteCommand, &CCommandEditorDlg::OnWriteCommand},
        {m_ui->buttonPrintTestString, &CCommandEditorDlg::OnPrintTestString},
        {m_ui->buttonFontA, &CCommandEditorDlg::OnFontA},
        {m_ui->buttonFontB, &CCommandEditorDlg::OnFontB},
        {m_ui->buttonLineSpacing, &CCommandEditorDlg::OnLineSpacing},
        {m_ui->buttonSelectCodepage, &CCommandEditorDlg::OnSelectCodepage},
        {m_ui->checkBold, &CCommandEditorDlg::OnBold},
        {m_ui->checkUnderline, &CCommandEditorDlg::OnUnderline},
        {m_ui->buttonLeftAlignment, &CCommandEditorDlg::OnLeftAlignment},
        {m_ui->buttonCenterAlignment, &CCommandEditorDlg::OnCenterAlignment},
        {m_ui->buttonRightAlignment, &CCommandEditorDlg::OnRightAlignment},
        {m_ui->buttonPaperCut, &CCommandEditorDlg::OnPaperCut},
        {m_ui->buttonFeed, &CCommandEditorDlg::OnFeed},
        {m_ui->buttonPrintNvImage, &CCommandEditorDlg::OnPrintNvImage},
        {m_ui->buttonOpenDrawer1, &CCommandEditorDlg::OnOpenDrawer1},
        {m_ui->buttonOpenDrawer2, &CCommandEditorDlg::OnOpenDrawer2},
        {m_ui->buttonClear, &CCommandEditorDlg::OnClear},
        {m_ui->buttonSave, &CCommandEditorDlg::OnSave},
        {m_ui->buttonLoad, &CCommandEditorDlg::OnLoad},
    };
    for (const auto& entry : handlers)
        connect(entry.button, &QAbstractButton::clicked, this, entry.handler);
    connect(m_ui->buttonClose, &QPushButton::clicked, this, &QDialog::accept);
}

CCommandEditorDlg::~CCommandEditorDlg() = default;

void CCommandEditorDlg::ShowText()
{
    const QSignalBlocker quiet(m_ui->editCommand);
    m_ui->editCommand->setPlainText(QString::fromStdString(m_commandText));
}

void CCommandEditorDlg::AppendSnippet(const std::string& text)
{
    // Inserted at the end rather than the whole text set again: a loaded
    // megabyte is not laid out anew for every snippet. The edit's change
    // notice brings the field up to date.
    QTextCursor cursor(m_ui->editCommand->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromStdString(text));
    m_ui->editCommand->setTextCursor(cursor);
    m_ui->editCommand->ensureCursorVisible();
}

void CCommandEditorDlg::Warn(const std::string& text, const char* caption)
{
    m_messages.Show(text, caption, platform::MessageIcon::Warning);
}

void CCommandEditorDlg::OnWriteCommand()
{
    if (m_commandText.empty())
        return;
    // The outcome is not the editor's to tell: the text stays as it is.
    RunBlocking(
        [this] {
            m_port->StartOperation(); // a write that stalled before does not hold this one back
            WriteCommandText(*m_port, m_commandText);
        },
        BlockingExchange::NoCursor);
}

void CCommandEditorDlg::OnPrintTestString()
{
    RunBlocking(
        [this] {
            m_port->StartOperation();
            PrintTestString(*m_port);
        },
        BlockingExchange::NoCursor);
}

void CCommandEditorDlg::OnFontA()
{
    AppendSnippet(SnippetText(Snippet::FontA));
}

void CCommandEditorDlg::OnFontB()
{
    AppendSnippet(SnippetText(Snippet::FontB));
}

void CCommandEditorDlg::OnLineSpacing()
{
    CLineSpacingDlg dialog;
    if (dialog.exec() == QDialog::Accepted)
        AppendSnippet(LineSpacingSnippet(dialog.DefaultSpacing(), uint8_t(dialog.Value())));
    else
        AppendSnippet(std::string());
}

void CCommandEditorDlg::OnSelectCodepage()
{
    CCodepageDlg dialog;
    if (dialog.exec() == QDialog::Accepted)
        AppendSnippet(CodePageSnippet(dialog.Selected()));
    else
        AppendSnippet(std::string());
}

void CCommandEditorDlg::OnBold()
{
    AppendSnippet(SnippetText(m_ui->checkBold->isChecked() ? Snippet::BoldOn : Snippet::BoldOff));
}

void CCommandEditorDlg::OnUnderline()
{
    AppendSnippet(SnippetText(m_ui->checkUnderline->isChecked() ? Snippet::UnderlineOn : Snippet::UnderlineOff));
}

void CCommandEditorDlg::OnLeftAlignment()
{
    AppendSnippet(SnippetText(Snippet::LeftAlignment));
}

void CCommandEditorDlg::OnCenterAlignment()
{
    AppendSnippet(SnippetText(Snippet::CenterAlignment));
}

void CCommandEditorDlg::OnRightAlignment()
{
    AppendSnippet(SnippetText(Snippet::RightAlignment));
}

void CCommandEditorDlg::OnPaperCut()
{
    AppendSnippet(SnippetText(Snippet::PaperCut));
}

void CCommandEditorDlg::OnFeed()
{
    AppendSnippet(SnippetText(Snippet::Feed));
}

void CCommandEditorDlg::OnPrintNvImage()
{
    CNvImageDlg dialog;
    if (dialog.exec() == QDialog::Accepted)
        AppendSnippet(NvImageSnippet(dialog.ImageText()));
    else
        AppendSnippet(std::string());
}

void CCommandEditorDlg::OnOpenDrawer1()
{
    AppendSnippet(SnippetText(Snippet::OpenDrawer1));
}

void CCommandEditorDlg::OnOpenDrawer2()
{
    AppendSnippet(SnippetText(Snippet::OpenDrawer2));
}

void CCommandEditorDlg::OnClear()
{
    m_commandText.clear();
    ShowText();
}

void CCommandEditorDlg::OnSave()
{
    if (m_commandText.empty()) {
        Warn("No data to write", "Warning");
        return;
    }
    std::string path;
    if (!m_fileDialogs.Choose(CommandFileRequest(platform::FileDialogRequest::Save), path)) {
        Warn("Don't select save file", "Warning");
        return;
    }
    std::string error;
    if (!CommandFile::Save(path, m_commandText, error))
        Warn(error, "Warning");
}

void CCommandEditorDlg::OnLoad()
{
    // Emptied before the dialog: a cancelled or failed Load leaves nothing behind.
    m_commandText.clear();
    ShowText();
    std::string path;
    if (!m_fileDialogs.Choose(CommandFileRequest(platform::FileDialogRequest::Open), path)) {
        Warn("Don't select load file", "warning");
        return;
    }
    std::string text;
    std::string error;
    if (!CommandFile::Load(path, text, error)) {
        Warn(error, "Warning");
        return;
    }
    m_commandText = std::move(text);
    ShowText();
}
