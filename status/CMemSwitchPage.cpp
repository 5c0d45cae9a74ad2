#include "CMemSwitchPage.h"

#include "ComboBoxItems.h"
#include "ui_CMemSwitchPage.h"

#include <QSignalBlocker>

CMemSwitchPage::CMemSwitchPage(QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::CMemSwitchPage>())
{
    m_ui->setupUi(this);
    for (int pin = 1; pin <= 8; ++pin) {
        m_pinLabel[pin - 1] = findChild<QLabel*>(QStringLiteral("labelPin%1").arg(pin));
        m_pinCombo[pin - 1] = findChild<QComboBox*>(QStringLiteral("comboPin%1").arg(pin));
        connect(m_pinCombo[pin - 1], qOverload<int>(&QComboBox::activated), this,
                [this, pin](int index) { OnPinChanged(pin, index); });
    }
    connect(m_ui->buttonNext, &QPushButton::clicked, this, [this] {
        m_form.OnNext();
        FormToControls();
    });
    connect(m_ui->buttonBack, &QPushButton::clicked, this, [this] {
        m_form.OnBack();
        FormToControls();
    });
}

CMemSwitchPage::~CMemSwitchPage() = default;

void CMemSwitchPage::FormToControls()
{
    for (int i = 0; i < 8; ++i) {
        const kalo::PinDefinition& row = m_form.rows[i];
        m_pinLabel[i]->setText(QString::fromStdString(row.label));
        QComboBox* combo = m_pinCombo[i];
        SetComboItems(combo, row.choices);
        const QSignalBlocker quiet(combo);
        // A value outside the list (from a status file) shows no selection.
        const int index = m_form.pinIndex[i];
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        combo->setEnabled(row.enabled);
    }
    m_ui->buttonBack->setEnabled(m_form.backEnabled);
    m_ui->buttonNext->setEnabled(m_form.nextEnabled);
    m_ui->labelSwitchNumber->setText(QString::fromStdString(m_form.switchNumberText));
}

void CMemSwitchPage::ShowSwitch(int number, bool enable)
{
    if (!m_form.hasStatus)
        return;
    m_form.ShowSwitch(number, enable);
    FormToControls();
}

void CMemSwitchPage::ResetAllSwitches()
{
    m_form.ResetAllSwitches();
    FormToControls();
}

void CMemSwitchPage::EnableNext(bool enable)
{
    m_form.nextEnabled = enable;
    m_ui->buttonNext->setEnabled(enable);
}

void CMemSwitchPage::OnPinChanged(int pin, int index)
{
    m_form.OnPinChanged(pin, index);
}
