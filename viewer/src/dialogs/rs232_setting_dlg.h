// Asks for the frame setting and baud rate of the camera's serial port, from
// fixed lists.
#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QPushButton;

namespace tavolin::ui {

class CRS232SettingDlg : public QDialog {
    Q_OBJECT

public:
    explicit CRS232SettingDlg(QWidget* parent = nullptr);

    // Values shown when the dialog opens: a control code of 0, 8 or 24 selects
    // its item, any other selects nothing; the baud-rate index selects the rate
    // at that position.
    void setValues(uint8_t controlCode, uint8_t baudRateIndex);

    // After the dialog closed: the values chosen with "OK" (control 0 and
    // baud-rate index 255 where nothing was selected), else those it was given.
    uint8_t controlCode() const { return control_; }
    uint8_t baudRateIndex() const { return baudRate_; }

    QComboBox* controlList() const { return controlList_; }
    QComboBox* baudRateList() const { return baudRateList_; }
    QPushButton* okButton() const { return ok_; }

private:
    void onOk();

    uint8_t control_ = 0;
    uint8_t baudRate_ = 0;
    QComboBox* controlList_;
    QComboBox* baudRateList_;
    QPushButton* ok_;
};

} // namespace tavolin::ui
