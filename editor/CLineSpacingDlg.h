#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CLineSpacingDlg;
}

// "Select Range(0~255)": the line spacing a snippet sets, or the printer's
// default. The number comes only from the spin box (its text cannot be
// typed in), so it is always 0..255; it starts at 0 with the box clear.
class CLineSpacingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CLineSpacingDlg(QWidget* parent = nullptr);
    ~CLineSpacingDlg() override;

    int Value() const { return m_value; }
    bool DefaultSpacing() const { return m_default; }

public slots:
    void OnDefaultLineSpacing();
    void OnOK();

private:
    std::unique_ptr<Ui::CLineSpacingDlg> m_ui;
    int m_value = 0;
    bool m_default = false;
};
