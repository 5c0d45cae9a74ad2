#include "CAboutDlg.h"

#include "ui_CAboutDlg.h"

#include <QIcon>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CAboutDlg>())
{
    m_ui->setupUi(this);
    m_ui->labelIcon->setPixmap(QIcon(QStringLiteral(":/kalo/kalo.xpm")).pixmap(32, 32));
    setWindowIcon(QIcon(QStringLiteral(":/kalo/kalo.xpm")));
}

CAboutDlg::~CAboutDlg() = default;
