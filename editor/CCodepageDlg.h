#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CCodepageDlg;
}

// "Select Codepage": the code table a snippet selects. Starts at the first
// entry every time.
class CCodepageDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCodepageDlg(QWidget* parent = nullptr);
    ~CCodepageDlg() override;

    // The chosen position in the code-page list; -1 until OK.
    int Selected() const { return m_selected; }

public slots:
    void OnOK();

private:
    std::unique_ptr<Ui::CCodepageDlg> m_ui;
    int m_selected = -1;
};
