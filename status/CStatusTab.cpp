#include "CStatusTab.h"

#include "CMemSwitchPage.h"
#include "CPrinterSettingPage.h"

CStatusTab::CStatusTab(QWidget* parent)
    : QTabWidget(parent)
    , m_memSwitchPage(new CMemSwitchPage(this))
    , m_settingPage(new CPrinterSettingPage(this))
{
    m_memSwitchPage->hide();
    m_settingPage->hide();
}

void CStatusTab::CreatePages()
{
    addTab(m_memSwitchPage, QStringLiteral("Memory switch"));
    addTab(m_settingPage, QStringLiteral("Printer Setting"));
    setCurrentIndex(0);
    connect(this, &QTabWidget::currentChanged, this, &CStatusTab::OnSelectionChange);
}

void CStatusTab::OnSelectionChange(int index)
{
    if (index == 0)
        m_memSwitchPage->ShowSwitch(m_memSwitchPage->CurrentSwitch(), true);
    else if (index == 1)
        m_settingPage->RefreshSettingPage(true);
}
