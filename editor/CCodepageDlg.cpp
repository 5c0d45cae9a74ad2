#include "CCodepageDlg.h"

#include "port/CodePageTable.h"
#include "ui_CCodepageDlg.h"

CCodepageDlg::CCodepageDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CCodepageDlg>())
{
    m_ui->setupUi(this);
    for (const kalo::CodePageRow& row : kalo::kCodePageTable)
        m_ui->comboCodePage->addItem(QString::fromUtf8(row.text));
    m_ui->comboCodePage->setCurrentIndex(0);
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &CCodepageDlg::OnOK);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CCodepageDlg::~CCodepageDlg() = default;

void CCodepageDlg::OnOK()
{
    m_selected = m_ui->comboCodePage->currentIndex();
    accept();
}
