#pragma once

#include <QWidget>

class QLineEdit;

// Four fields of 0..255 with dots between them, as an IP address control.
// The fields are named ipField0..ipField3.
class CIpAddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    void SetAddress(const int fields[4]);
    void GetAddress(int fields[4]) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_fields[4];
};
