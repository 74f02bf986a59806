// Asks for the address of the PTZ device behind the camera's serial port: a
// fixed list of the addresses 1 to 5.
#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

namespace tavolin::ui {

class CPTZAddressIDDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPTZAddressIDDlg(QWidget* parent = nullptr);

    // The address shown when the dialog opens; one outside 1..5 selects nothing.
    void setAddress(int address);
    // The address after the dialog closed: the one chosen with "OK" (0 when
    // nothing was selected), else the one it was given.
    int address() const { return address_; }

    QComboBox* addressList() const { return list_; }
    QPushButton* okButton() const { return ok_; }

private:
    void onOk();

    int address_ = 1;
    QComboBox* list_;
    QPushButton* ok_;
};

} // namespace tavolin::ui
