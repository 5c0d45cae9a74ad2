#pragma once

#include "MemSwitchForm.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;

namespace Ui {
class CMemSwitchPage;
}

// The "Memory switch" tab: one switch at a time, a row per pin.
class CMemSwitchPage : public QWidget {
    Q_OBJECT
public:
    explicit CMemSwitchPage(QWidget* parent = nullptr);
    ~CMemSwitchPage() override;

    kalo::MemSwitchForm& Form() { return m_form; }
    void SetRecord(kalo::StatusRecord* record) { m_form.record = record; }
    void SetHasStatus(bool hasStatus) { m_form.hasStatus = hasStatus; }
    int CurrentSwitch() const { return m_form.currentSwitch; }

    void ShowSwitch(int number, bool enable);
    void ResetAllSwitches();
    void EnableNext(bool enable);
    void FormToControls();

private:
    void OnPinChanged(int pin, int index);

    std::unique_ptr<Ui::CMemSwitchPage> m_ui;
    kalo::MemSwitchForm m_form; // hasStatus, m_record, m_currentSwitch, m_pinIndex, m_switchNumberText
    QLabel* m_pinLabel[8];
    QComboBox* m_pinCombo[8];
};
