#include "CWaitDlg.h"

#include "ui_CWaitDlg.h"

CWaitDlg::CWaitDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_ui(std::make_unique<Ui::CWaitDlg>())
{
    m_ui->setupUi(this);
}

CWaitDlg::~CWaitDlg() = default;
