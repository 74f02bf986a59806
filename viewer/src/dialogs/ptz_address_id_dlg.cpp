#include "dialogs/ptz_address_id_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "widgets/dialog_units.h"
#include "widgets/form_layout.h"

namespace tavolin::ui {

CPTZAddressIDDlg::CPTZAddressIDDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("PTZ Address ID"));
    // Title only: the dialog has no close box, so it ends with "OK" (or Escape,
    // which keeps the address it was given).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(dialogFont());
    const DialogUnits du(font());

    auto* label = new QLabel(QStringLiteral("Address ID:"), this);
    list_ = new QComboBox(this);
    for (int i = 1; i <= 5; ++i) list_->addItem(QString::number(i));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    nameByLabel(list_, label);

    placeLabel(label, du, 6, 10);
    placeComboBox(list_, du, 45, 8, 27, 58);
    fitLabelBeforeBuddy(label);
    ok_->setGeometry(du.rect(45, 55, 26, 12));
    setFixedSize(du.x(79), du.y(75));

    connect(ok_, &QPushButton::clicked, this, &CPTZAddressIDDlg::onOk);
    setAddress(1);
}

void CPTZAddressIDDlg::setAddress(int address) {
    address_ = address;
    list_->setCurrentIndex(address >= 1 && address <= 5 ? address - 1 : -1);
}

void CPTZAddressIDDlg::onOk() {
    address_ = list_->currentIndex() + 1; // 0 when nothing is selected
    accept();
}

} // namespace tavolin::ui
