#include "CAboutDlg.h"

#include "KaloVersion.h"
#include "ui_CAboutDlg.h"

#include <QIcon>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CAboutDlg>())
{
    m_ui->setupUi(this);
    // The same number as --version: both come from the build's version header.
    m_ui->labelVersion->setText(QStringLiteral("KALO Version %1").arg(QString::fromLatin1(kalo::kVersion)));
    m_ui->labelIcon->setPixmap(QIcon(QStringLiteral(":/kalo/kalo.xpm")).pixmap(32, 32));
    setWindowIcon(QIcon(QStringLiteral(":/kalo/kalo.xpm")));
}

CAboutDlg::~CAboutDlg() = default;
