#include "CNvImageDlg.h"

#include "ui_CNvImageDlg.h"

CNvImageDlg::CNvImageDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CNvImageDlg>())
{
    m_ui->setupUi(this);
    m_ui->comboImage->setCurrentIndex(0);
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &CNvImageDlg::OnOK);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CNvImageDlg::~CNvImageDlg() = default;

void CNvImageDlg::OnOK()
{
    m_imageText = m_ui->comboImage->currentText().toStdString();
    accept();
}
