#pragma once

#include "PrinterSettingForm.h"
#include "platform/MessageSink.h"

#include <QWidget>

#include <memory>

namespace Ui {
class CPrinterSettingPage;
}

// The "Printer Setting" tab: what the printer said about itself, and the
// settings that live in memory-switch pins, chosen from lists.
class CPrinterSettingPage : public QWidget {
    Q_OBJECT
public:
    explicit CPrinterSettingPage(QWidget* parent = nullptr);
    ~CPrinterSettingPage() override;

    kalo::PrinterSettingForm& Form() { return m_form; }
    void SetRecord(kalo::StatusRecord* record) { m_form.record = record; }
    void SetMessages(kalo::platform::MessageSink* messages) { m_messages = messages; }

    void RefreshSettingPage(bool enable);
    void EnablePowerSaveControls(bool enable);
    int GetPowerSaveMode();
    void SetPowerSaveMode(uint8_t value);
    int GetEntranceTime();
    void SetEntranceTime(int value);
    // Disables the lists and power-save controls while a write runs.
    void DisableInputs();
    void DisableDoubleByteAndCodePage();

    // The data exchange: false when the entrance time is not a whole number
    // (with notice, one is shown; entrance time and power save keep their values).
    bool ControlsToForm(bool notice = true);
    void FormToControls();

private:
    std::unique_ptr<Ui::CPrinterSettingPage> m_ui;
    kalo::PrinterSettingForm m_form;
    kalo::platform::MessageSink* m_messages = nullptr;
};
