#include "CIpAddressEdit.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

CIpAddressEdit::CIpAddressEdit(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (int i = 0; i < 4; ++i) {
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setObjectName(QStringLiteral("ipField%1").arg(i));
        m_fields[i]->setValidator(new QIntValidator(0, 255, m_fields[i]));
        m_fields[i]->setMaxLength(3);
        m_fields[i]->setAlignment(Qt::AlignCenter);
        m_fields[i]->setFixedWidth(m_fields[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
        m_fields[i]->installEventFilter(this);
        layout->addWidget(m_fields[i]);
        if (i < 3)
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        // A full field or a typed dot moves on to the next field.
        if (i < 3) {
            connect(m_fields[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
                if (text.size() == 3)
                    m_fields[i + 1]->setFocus();
            });
        }
    }
    setFocusProxy(m_fields[0]);
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->text() == QStringLiteral(".")) {
        for (int i = 0; i < 3; ++i) {
            if (watched == m_fields[i]) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
                return true;
            }
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CIpAddressEdit::SetAddress(const int fields[4])
{
    for (int i = 0; i < 4; ++i)
        m_fields[i]->setText(QString::number(fields[i]));
}

void CIpAddressEdit::GetAddress(int fields[4]) const
{
    for (int i = 0; i < 4; ++i) {
        const int value = m_fields[i]->text().toInt();
        fields[i] = value < 0 ? 0 : value > 255 ? 255 : value;
    }
}
