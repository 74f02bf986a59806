#include "dialogs/rs232_setting_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <array>

#include "widgets/dialog_units.h"
#include "widgets/form_layout.h"

namespace tavolin::ui {

namespace {

struct ControlItem {
    const char* text;
    uint8_t code; // 8 turns parity on, 16 selects even parity
};
constexpr std::array<ControlItem, 3> kControlItems{{
    {"8, None, 1", 0},
    {"8, Odd, 1", 8},
    {"8, Even, 1", 24},
}};

constexpr std::array<const char*, 9> kBaudRates{"1200",  "2400",  "4800",   "9600",  "19200",
                                                "38400", "57600", "115200", "230400"};

} // namespace

CRS232SettingDlg::CRS232SettingDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("RS232 Setting"));
    setFont(dialogFont());
    const DialogUnits du(font());

    auto* controlLabel = new QLabel(QStringLiteral("Control :"), this);
    controlList_ = new QComboBox(this);
    for (const auto& item : kControlItems) controlList_->addItem(QString::fromLatin1(item.text));
    auto* baudLabel = new QLabel(QStringLiteral("Baud Rate :"), this);
    baudRateList_ = new QComboBox(this);
    for (const char* rate : kBaudRates) baudRateList_->addItem(QString::fromLatin1(rate));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    nameByLabel(controlList_, controlLabel);
    nameByLabel(baudRateList_, baudLabel);

    placeLabel(controlLabel, du, 8, 9);
    placeComboBox(controlList_, du, 48, 7, 67, 56);
    placeLabel(baudLabel, du, 7, 27);
    placeComboBox(baudRateList_, du, 48, 25, 67, 64);
    ok_->setGeometry(du.rect(81, 47, 35, 13));
    fitLabelBeforeBuddy(controlLabel);
    fitLabelBeforeBuddy(baudLabel);
    setFixedSize(du.x(123), du.y(67));

    connect(ok_, &QPushButton::clicked, this, &CRS232SettingDlg::onOk);
    setValues(0, 0);
}

void CRS232SettingDlg::setValues(uint8_t controlCode, uint8_t baudRateIndex) {
    control_ = controlCode;
    baudRate_ = baudRateIndex;
    int controlPosition = -1;
    for (std::size_t i = 0; i < kControlItems.size(); ++i) {
        if (kControlItems[i].code == controlCode) controlPosition = static_cast<int>(i);
    }
    controlList_->setCurrentIndex(controlPosition);
    baudRateList_->setCurrentIndex(baudRateIndex < kBaudRates.size() ? baudRateIndex : -1);
}

void CRS232SettingDlg::onOk() {
    const int controlPosition = controlList_->currentIndex();
    control_ = controlPosition >= 0 ? kControlItems[static_cast<std::size_t>(controlPosition)].code : 0;
    // Nothing selected gives 255, the byte of position -1.
    baudRate_ = static_cast<uint8_t>(baudRateList_->currentIndex());
    accept();
}

} // namespace tavolin::ui
