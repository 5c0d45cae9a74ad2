#include "CLineSpacingDlg.h"

#include "ui_CLineSpacingDlg.h"

#include <QLineEdit>

CLineSpacingDlg::CLineSpacingDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CLineSpacingDlg>())
{
    m_ui->setupUi(this);
    // The arrows and the arrow keys set the number; the text itself is read-only.
    m_ui->spinValue->findChild<QLineEdit*>()->setReadOnly(true);
    m_ui->spinValue->setRange(0, 255);
    m_ui->spinValue->setValue(m_value);
    m_ui->checkDefaultLineSpacing->setChecked(m_default);
    connect(m_ui->checkDefaultLineSpacing, &QCheckBox::clicked, this, &CLineSpacingDlg::OnDefaultLineSpacing);
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &CLineSpacingDlg::OnOK);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CLineSpacingDlg::~CLineSpacingDlg() = default;

void CLineSpacingDlg::OnDefaultLineSpacing()
{
    m_default = m_ui->checkDefaultLineSpacing->isChecked();
    m_ui->spinValue->setEnabled(!m_default);
}

void CLineSpacingDlg::OnOK()
{
    m_value = m_ui->spinValue->value();
    m_default = m_ui->checkDefaultLineSpacing->isChecked();
    accept();
}
