#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CWaitDlg;
}

// "Please wait" while the Printer Status window checks the printer.
class CWaitDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWaitDlg(QWidget* parent = nullptr);
    ~CWaitDlg() override;

private:
    std::unique_ptr<Ui::CWaitDlg> m_ui;
};
