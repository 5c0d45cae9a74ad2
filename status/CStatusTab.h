#pragma once

#include <QTabWidget>

class CMemSwitchPage;
class CPrinterSettingPage;

// The tab control of the Printer Status window: owns the two pages and
// redraws the one the user selects from the record.
class CStatusTab : public QTabWidget {
    Q_OBJECT
public:
    explicit CStatusTab(QWidget* parent = nullptr);

    void CreatePages();

    CMemSwitchPage* m_memSwitchPage;
    CPrinterSettingPage* m_settingPage;

private:
    void OnSelectionChange(int index);
};
