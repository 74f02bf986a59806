#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "dialogs/ptz_address_id_dlg.h"
#include "dialogs/rs232_setting_dlg.h"
#include "fake_shell.h"
#include "form/tavolin_dlg.h"
#include "modal_helpers.h"
#include "tavolin/camera_list.h"

namespace tavolin::ui {
namespace {

using test::FakeShell;
using test::fileText;
using test::whenDialogOpens;
using ::testing::HasSubstr;

// The two small dialogs on their own.
TEST(PtzAddressDialogTest, OffersFiveAddressesAndSelectsTheOneGiven) {
    CPTZAddressIDDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "PTZ Address ID");
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    ASSERT_EQ(dlg.addressList()->count(), 5);
    EXPECT_EQ(dlg.addressList()->itemText(4), "5");
    const auto labels = QAccessible::queryAccessibleInterface(dlg.addressList())->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name), "Address ID:");
    dlg.setAddress(4);
    EXPECT_EQ(dlg.addressList()->currentText(), "4");
    dlg.addressList()->setCurrentIndex(1);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.address(), 2);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(PtzAddressDialogTest, AnAddressOutsideTheListSelectsNothingAndOkGivesZero) {
    for (int address : {0, 6, 7, -1}) {
        CPTZAddressIDDlg dlg;
        dlg.setAddress(address);
        EXPECT_EQ(dlg.addressList()->currentIndex(), -1) << address;
        EXPECT_EQ(dlg.address(), address);
        dlg.okButton()->click();
        EXPECT_EQ(dlg.address(), 0) << address;
    }
}

TEST(PtzAddressDialogTest, ClosedWithoutOkKeepsTheAddressGiven) {
    CPTZAddressIDDlg dlg;
    dlg.setAddress(3);
    dlg.addressList()->setCurrentIndex(0);
    dlg.reject();
    EXPECT_EQ(dlg.address(), 3);
}

TEST(SerialDialogTest, SelectsTheItemsOfTheValuesGiven) {
    CRS232SettingDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "RS232 Setting");
    ASSERT_EQ(dlg.controlList()->count(), 3);
    ASSERT_EQ(dlg.baudRateList()->count(), 9);
    EXPECT_EQ(dlg.baudRateList()->itemText(0), "1200");
    EXPECT_EQ(dlg.baudRateList()->itemText(8), "230400");
    dlg.setValues(24, 3);
    EXPECT_EQ(dlg.controlList()->currentText(), "8, Even, 1");
    EXPECT_EQ(dlg.baudRateList()->currentText(), "9600");
    dlg.setValues(8, 0);
    EXPECT_EQ(dlg.controlList()->currentText(), "8, Odd, 1");
    dlg.setValues(0, 7);
    EXPECT_EQ(dlg.controlList()->currentText(), "8, None, 1");
    EXPECT_EQ(dlg.baudRateList()->currentText(), "115200");
}

TEST(SerialDialogTest, UnknownValuesSelectNothingAndOkGivesZeroAnd255) {
    CRS232SettingDlg dlg;
    dlg.setValues(16, 9);
    EXPECT_EQ(dlg.controlList()->currentIndex(), -1);
    EXPECT_EQ(dlg.baudRateList()->currentIndex(), -1);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.controlCode(), 0);
    EXPECT_EQ(dlg.baudRateIndex(), 255);
}

TEST(SerialDialogTest, OkTakesTheChoiceAndTheCloseBoxKeepsTheValuesGiven) {
    CRS232SettingDlg dlg;
    dlg.setValues(8, 2);
    dlg.controlList()->setCurrentIndex(2);
    dlg.baudRateList()->setCurrentIndex(8);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.controlCode(), 24);
    EXPECT_EQ(dlg.baudRateIndex(), 8);

    CRS232SettingDlg closed;
    closed.setValues(8, 2);
    closed.show();
    closed.controlList()->setCurrentIndex(0);
    closed.close();
    EXPECT_EQ(closed.controlCode(), 8);
    EXPECT_EQ(closed.baudRateIndex(), 2);
}

// The PTZ setting sequence of the settings form.
class PtzSettingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("Tavolin.txt"));
        protocolFile = folder.filePath(QStringLiteral("Pelco-D.ptz"));
        shell.protocols = folder.path();
    }

    // Camera 1 as stored before the test, with PTZ values of its own.
    void storeCameraOne(int32_t ptzAddress, int32_t serialControl, int32_t serialBaudRate, bool ptzOn) {
        CameraList list(path.toStdString());
        CameraRecord r = *list.record(0);
        r.ptzAddress = ptzAddress;
        r.serialControl = serialControl;
        r.serialBaudRate = serialBaudRate;
        r.ptzEnabled = ptzOn ? 1 : 0;
        setText(r.ptzProtocolFile, protocolFile.toStdString());
        ASSERT_TRUE(list.saveRecord(r));
    }

    CTavolinDlg& openForm() {
        form = std::make_unique<CTavolinDlg>(shell, path.toStdString());
        return *form;
    }
    const CTavolinDlg::Controls& c() const { return form->controls(); }
    CameraRecord stored() {
        CameraList list(path.toStdString());
        return *list.record(0);
    }
    void apply() { form->controls().apply->click(); }

    QTemporaryDir folder;
    QString path;
    QString protocolFile;
    FakeShell shell;
    std::unique_ptr<CTavolinDlg> form;
};

TEST_F(PtzSettingTest, ChosenFileThenAddressAndSerialDialogsAreStoredWithApply) {
    storeCameraOne(2, 0, 3, false);
    openForm();
    shell.scripted.files = {protocolFile};
    int addressShown = -1;
    whenDialogOpens<CPTZAddressIDDlg>([&](CPTZAddressIDDlg& dlg) {
        addressShown = dlg.addressList()->currentIndex();
        dlg.addressList()->setCurrentIndex(4);
        dlg.okButton()->click();
    });
    QString baudShown;
    whenDialogOpens<CRS232SettingDlg>([&](CRS232SettingDlg& dlg) {
        baudShown = dlg.baudRateList()->currentText();
        dlg.controlList()->setCurrentIndex(1);
        dlg.baudRateList()->setCurrentIndex(8); // "230400"
        dlg.okButton()->click();
    });
    c().ptzSetting->click();
    ASSERT_TRUE(test::dialogsClosed());

    ASSERT_EQ(shell.scripted.fileDialogs.size(), 1u);
    EXPECT_EQ(shell.scripted.fileDialogs[0].title, "SELECTION - PTZ Protocol File ");
    EXPECT_EQ(shell.scripted.fileDialogs[0].filter, "PTZ Protocol Files (*.ptz)");
    EXPECT_EQ(shell.scripted.fileDialogs[0].startFolder, folder.path());
    EXPECT_EQ(addressShown, 1);
    EXPECT_EQ(baudShown, "9600");
    EXPECT_TRUE(c().ptzSetting->isChecked());
    EXPECT_TRUE(form->hasChanges());

    apply();
    const CameraRecord s = stored();
    EXPECT_EQ(s.ptzEnabled, 1);
    EXPECT_EQ(s.ptzSourceType, 1u);
    EXPECT_EQ(textOf(s.ptzProtocolFile), protocolFile.toStdString());
    EXPECT_EQ(s.ptzAddress, 5);
    EXPECT_EQ(s.serialControl, 8);
    EXPECT_EQ(s.serialBaudRate, 8);
    EXPECT_THAT(fileText(path), HasSubstr("SerialBaudRate=8"));
}

TEST_F(PtzSettingTest, CancelledFileDialogClearsTheBoxAndTheSerialValues) {
    storeCameraOne(3, 24, 6, false);
    openForm();
    c().ptzSetting->click(); // no file: the dialog is cancelled
    ASSERT_TRUE(test::dialogsClosed());
    EXPECT_EQ(shell.scripted.fileDialogs.size(), 1u);
    EXPECT_FALSE(c().ptzSetting->isChecked());
    EXPECT_TRUE(form->hasChanges());
    apply();
    const CameraRecord s = stored();
    EXPECT_EQ(s.ptzEnabled, 0);
    EXPECT_EQ(s.serialControl, 0);
    EXPECT_EQ(s.serialBaudRate, 0);
    EXPECT_EQ(s.ptzSourceType, 0u);
    EXPECT_EQ(textOf(s.ptzProtocolFile), "");
    EXPECT_EQ(s.ptzAddress, 3);
}

TEST_F(PtzSettingTest, ClearingTheBoxKeepsFileAddressAndSerialValues) {
    storeCameraOne(4, 24, 5, true);
    openForm();
    ASSERT_TRUE(c().ptzSetting->isChecked());
    c().ptzSetting->click();
    ASSERT_TRUE(test::dialogsClosed());
    EXPECT_TRUE(shell.scripted.fileDialogs.empty());
    EXPECT_TRUE(form->hasChanges());
    apply();
    const CameraRecord s = stored();
    EXPECT_EQ(s.ptzEnabled, 0);
    EXPECT_EQ(s.ptzSourceType, 1u);
    EXPECT_EQ(textOf(s.ptzProtocolFile), protocolFile.toStdString());
    EXPECT_EQ(s.ptzAddress, 4);
    EXPECT_EQ(s.serialControl, 24);
    EXPECT_EQ(s.serialBaudRate, 5);
}

TEST_F(PtzSettingTest, AddressSevenShowsNothingAndOkIsStoredAsOne) {
    storeCameraOne(7, 16, 2, false);
    openForm();
    shell.scripted.files = {protocolFile};
    int addressShown = 0;
    whenDialogOpens<CPTZAddressIDDlg>([&](CPTZAddressIDDlg& dlg) {
        addressShown = dlg.addressList()->currentIndex();
        dlg.okButton()->click();
    });
    int controlShown = 0;
    whenDialogOpens<CRS232SettingDlg>([&](CRS232SettingDlg& dlg) {
        controlShown = dlg.controlList()->currentIndex();
        dlg.okButton()->click();
    });
    c().ptzSetting->click();
    ASSERT_TRUE(test::dialogsClosed());
    EXPECT_EQ(addressShown, -1);
    EXPECT_EQ(controlShown, -1);
    apply();
    const CameraRecord s = stored();
    EXPECT_EQ(s.ptzAddress, 1);
    EXPECT_EQ(s.serialControl, 0);
    EXPECT_EQ(s.serialBaudRate, 2);
}

TEST_F(PtzSettingTest, DialogsClosedWithoutOkKeepTheValuesTheyWereGiven) {
    storeCameraOne(3, 8, 4, false);
    openForm();
    shell.scripted.files = {protocolFile};
    whenDialogOpens<CPTZAddressIDDlg>([](CPTZAddressIDDlg& dlg) {
        dlg.addressList()->setCurrentIndex(0);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    whenDialogOpens<CRS232SettingDlg>([](CRS232SettingDlg& dlg) {
        dlg.baudRateList()->setCurrentIndex(8);
        dlg.close(); // the close box
    });
    c().ptzSetting->click();
    ASSERT_TRUE(test::dialogsClosed());
    apply();
    const CameraRecord s = stored();
    EXPECT_EQ(s.ptzEnabled, 1);
    EXPECT_EQ(s.ptzAddress, 3);
    EXPECT_EQ(s.serialControl, 8);
    EXPECT_EQ(s.serialBaudRate, 4);
}

TEST_F(PtzSettingTest, APathLongerThanTheRecordHoldsIsRefused) {
    storeCameraOne(2, 8, 1, false);
    openForm();
    shell.scripted.files = {folder.filePath(QString(600, u'p') + ".ptz")};
    c().ptzSetting->click();
    ASSERT_TRUE(test::dialogsClosed());
    ASSERT_EQ(shell.scripted.messages.size(), 1u);
    EXPECT_EQ(shell.scripted.messages[0].text, "The path of this protocol file is too long.");
    EXPECT_FALSE(c().ptzSetting->isChecked());
    apply();
    const CameraRecord s = stored();
    EXPECT_EQ(s.ptzEnabled, 0);
    EXPECT_EQ(textOf(s.ptzProtocolFile), "");
}

} // namespace
} // namespace tavolin::ui
