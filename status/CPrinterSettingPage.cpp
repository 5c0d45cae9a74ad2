#include "CPrinterSettingPage.h"

#include "ComboBoxItems.h"
#include "ui_CPrinterSettingPage.h"

#include <QSignalBlocker>

namespace {

void Show(QComboBox* combo, int choice, bool enabled)
{
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(choice >= 0 && choice < combo->count() ? choice : -1);
    combo->setEnabled(enabled);
}

} // namespace

CPrinterSettingPage::CPrinterSettingPage(QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::CPrinterSettingPage>())
{
    m_ui->setupUi(this);
    using Form = kalo::PrinterSettingForm;
    SetComboItems(m_ui->comboPrintSpeed, Form::kPrintSpeeds);
    SetComboItems(m_ui->comboSingleByteFont, Form::kSingleByteFonts);
    SetComboItems(m_ui->comboDoubleByteFont, Form::kDoubleByteFonts);
    SetComboItems(m_ui->comboEmulation, Form::kEmulations);
    SetComboItems(m_ui->comboCodePage, Form::kCodePages);

    connect(m_ui->comboPrintSpeed, qOverload<int>(&QComboBox::activated), this, [this](int position) {
        ControlsToForm();
        m_form.OnPrintSpeed(position);
    });
    connect(m_ui->comboEmulation, qOverload<int>(&QComboBox::activated), this, [this](int position) {
        ControlsToForm();
        m_form.OnEmulation(position);
    });
    connect(m_ui->comboSingleByteFont, qOverload<int>(&QComboBox::activated), this, [this](int position) {
        ControlsToForm();
        m_form.OnSingleByteFont(position);
    });
    connect(m_ui->comboCodePage, qOverload<int>(&QComboBox::activated), this, [this](int position) {
        ControlsToForm();
        m_form.OnCodePage(position);
        FormToControls();
    });
    connect(m_ui->comboDoubleByteFont, qOverload<int>(&QComboBox::activated), this, [this](int position) {
        ControlsToForm();
        m_form.OnDoubleByteFont(position);
        FormToControls();
    });

    m_form.InitDialog();
    FormToControls();
}

CPrinterSettingPage::~CPrinterSettingPage() = default;

bool CPrinterSettingPage::ControlsToForm(bool notice)
{
    m_form.codePageChoice = m_ui->comboCodePage->currentIndex();
    m_form.printSpeedChoice = m_ui->comboPrintSpeed->currentIndex();
    m_form.emulationChoice = m_ui->comboEmulation->currentIndex();
    m_form.singleByteFontChoice = m_ui->comboSingleByteFont->currentIndex();
    m_form.doubleByteFontChoice = m_ui->comboDoubleByteFont->currentIndex();
    bool whole = false;
    const int entrance = m_ui->editEntranceTime->text().trimmed().toInt(&whole);
    if (!whole) {
        if (notice && m_messages)
            m_messages->Show("Please enter a whole number of seconds for the entrance time.", "",
                             kalo::platform::MessageIcon::Warning);
        m_ui->editEntranceTime->setFocus();
        return false;
    }
    m_form.facts.entranceTime = entrance;
    m_form.facts.powerSaveMode = m_ui->radioPowerSaveDisable->isChecked() ? 0
        : m_ui->radioPowerSaveEnable->isChecked()                          ? 1
                                                                          : -1;
    return true;
}

void CPrinterSettingPage::FormToControls()
{
    m_ui->labelModel->setText(QString::fromStdString(m_form.facts.modelName));
    m_ui->labelFirmware->setText(QString::fromStdString(m_form.facts.firmwareVersion));
    m_ui->labelLanguage->setText(QString::fromStdString(m_form.facts.language));
    Show(m_ui->comboCodePage, m_form.codePageChoice, m_form.codePageEnabled);
    Show(m_ui->comboPrintSpeed, m_form.printSpeedChoice, m_form.printSpeedEnabled);
    Show(m_ui->comboEmulation, m_form.emulationChoice, m_form.emulationEnabled);
    Show(m_ui->comboSingleByteFont, m_form.singleByteFontChoice, m_form.singleByteFontEnabled);
    Show(m_ui->comboDoubleByteFont, m_form.doubleByteFontChoice, m_form.doubleByteFontEnabled);
    m_ui->editEntranceTime->setText(QString::number(m_form.facts.entranceTime));
    // Unchecking both radio buttons needs them out of their exclusive group for a moment.
    for (QRadioButton* radio : {m_ui->radioPowerSaveDisable, m_ui->radioPowerSaveEnable})
        radio->setAutoExclusive(false);
    m_ui->radioPowerSaveDisable->setChecked(m_form.facts.powerSaveMode == 0);
    m_ui->radioPowerSaveEnable->setChecked(m_form.facts.powerSaveMode == 1);
    for (QRadioButton* radio : {m_ui->radioPowerSaveDisable, m_ui->radioPowerSaveEnable})
        radio->setAutoExclusive(true);
    EnablePowerSaveControls(m_form.powerSaveEnabled);
}

void CPrinterSettingPage::RefreshSettingPage(bool enable)
{
    m_form.RefreshSettingPage(enable);
    FormToControls();
}

void CPrinterSettingPage::EnablePowerSaveControls(bool enable)
{
    m_form.EnablePowerSaveControls(enable);
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui->radioPowerSaveDisable, m_ui->radioPowerSaveEnable,
                                                       m_ui->editEntranceTime})
        w->setEnabled(m_form.powerSaveEnabled);
}

int CPrinterSettingPage::GetPowerSaveMode()
{
    ControlsToForm();
    return m_form.facts.powerSaveMode;
}

void CPrinterSettingPage::SetPowerSaveMode(uint8_t value)
{
    m_form.facts.powerSaveMode = value;
    FormToControls();
}

int CPrinterSettingPage::GetEntranceTime()
{
    ControlsToForm();
    return m_form.facts.entranceTime;
}

void CPrinterSettingPage::SetEntranceTime(int value)
{
    m_form.facts.entranceTime = value;
    FormToControls();
}

void CPrinterSettingPage::DisableInputs()
{
    m_form.codePageEnabled = m_form.printSpeedEnabled = m_form.emulationEnabled = false;
    m_form.singleByteFontEnabled = m_form.doubleByteFontEnabled = false;
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui->comboCodePage, m_ui->comboPrintSpeed, m_ui->comboEmulation,
                                                       m_ui->comboSingleByteFont, m_ui->comboDoubleByteFont})
        w->setEnabled(false);
    EnablePowerSaveControls(false);
}

void CPrinterSettingPage::DisableDoubleByteAndCodePage()
{
    m_form.doubleByteFontEnabled = m_form.codePageEnabled = false;
    m_ui->comboDoubleByteFont->setEnabled(false);
    m_ui->comboCodePage->setEnabled(false);
}
