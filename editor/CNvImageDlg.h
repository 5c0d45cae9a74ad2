#pragma once

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class CNvImageDlg;
}

// "Select Address": the number of a stored NV image, chosen from 01..05 or
// typed; the text is passed on as it is.
class CNvImageDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNvImageDlg(QWidget* parent = nullptr);
    ~CNvImageDlg() override;

    const std::string& ImageText() const { return m_imageText; }

public slots:
    void OnOK();

private:
    std::unique_ptr<Ui::CNvImageDlg> m_ui;
    std::string m_imageText;
};
