#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ptz_test_support.h"

namespace {

using tiltra::test::Handle;
using tiltra::test::makeRecord;

TEST(ProtocolListing, MessoaOffersThreeProtocols) {
    int length = 0;
    const char* text = PTZEnumerateProtocol("Messoa", &length);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "3,Pelco-D,Pelco-P,VCL,");
    EXPECT_EQ(length, 22);
}

TEST(ProtocolListing, VendorTextIsAPrefixOfTheRowName) {
    int length = 0;
    EXPECT_STREQ(PTZEnumerateProtocol("Eye", &length), "3,Pelco-D,Pelco-P,EyeView,");
    EXPECT_EQ(length, 26);
    EXPECT_STREQ(PTZEnumerateProtocol("Pixim", &length), "1,Pixim,");
    EXPECT_STREQ(PTZEnumerateProtocol("Pel", &length), "2,Pelco-D,Pelco-P,");
    EXPECT_STREQ(PTZEnumerateProtocol("", &length), "3,Pelco-D,Pelco-P,VCL,");
    EXPECT_STREQ(PTZEnumerateProtocol("Tarn-C", &length), "3,DynaColor,Pelco-D,Pelco-P,");
}

TEST(ProtocolListing, UnknownVendorGivesNullAndKeepsLength) {
    int length = 5;
    EXPECT_EQ(PTZEnumerateProtocol("Nobody", &length), nullptr);
    EXPECT_EQ(PTZEnumerateProtocol("Messoa2", &length), nullptr);
    EXPECT_EQ(PTZEnumerateProtocol("pelco", &length), nullptr);
    EXPECT_EQ(PTZEnumerateProtocol(nullptr, &length), nullptr);
    EXPECT_EQ(length, 5);
}

TEST(Catalogue, KindThreeNeedsNoHandle) {
    int length = 0;
    const char* text = PTZEnumerate(nullptr, 3, &length);
    ASSERT_NE(text, nullptr);
    const std::string expected = "17,Tarn-A1,Tarn-A2,EyeView,Tarn-B1,Tarn-B2,Tarn-B3,Tarn-B4,Kampro,Messoa,Pelco,"
                                 "Samsung,TOA,Videotrec,DynaColor,Tarn-C1,Tarn-C2,Pixim";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(length, static_cast<int>(expected.size()));
}

TEST(Catalogue, StartupAndCleanupOnlyReturnOne) {
    EXPECT_EQ(PTZStartup(), 1);
    EXPECT_EQ(PTZCleanup(), 1);
    EXPECT_STREQ(PTZEnumerateProtocol("Messoa", nullptr), "3,Pelco-D,Pelco-P,VCL,");
}

class Listings : public tiltra::test::ProtocolFolder {};

TEST_F(Listings, CommandNamesAreListedOncePerTableName) {
    Handle h = openText("[PANTILT]\nPANLEFT;1;0;0x01\nPANLEFT;2;0;0x01\nPANRIGHT;1;0;0x01\nZOOMIN;1;0;0x01\n");
    int length = 0;
    const char* text = PTZEnumerate(h.get(), 2, &length);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "3,PANLEFT,PANRIGHT,ZOOMIN,");
    EXPECT_EQ(length, 26);
}

TEST_F(Listings, CommandNameListTakesTableNamesThatBeginTheField) {
    Handle h = openText("DAYNIGHTAUTO;1;0;0x01\nIRIS;0;0;0x01\nFOCUS;0;0;0x01\nDAYNIGHT;0;0;0x01\n"
                        "ADDRIDPOS;2\nBLCX;1;0;0x01\n");
    EXPECT_STREQ(PTZEnumerate(h.get(), 2, nullptr), "2,DAYNIGHT,BLC,");
}

TEST_F(Listings, AllTableNamesAreCutToFitTheResult) {
    static const char* kNames[] = {
        "PANLEFT",       "PANRIGHT",    "TILTUP",     "TILTDOWN",  "MOVEUPLEFT", "MOVEUPRIGHT", "MOVEDOWNLEFT",
        "MOVEDOWNRIGHT", "PANTILTSTOP", "ZOOMIN",     "ZOOMOUT",   "ZOOMSTOP",   "FOCUSIN",     "FOCUSOUT",
        "FOCUSSTOP",     "FOCUSAUTO",   "IRISOPEN",   "IRISCLOSE", "IRISSTOP",   "IRISAUTO",    "PRESETGOTO",
        "PRESETSET",     "PRESETCLEAR", "PRESETTOUR", "OSDON",     "OSDOFF",     "OSDUP",       "OSDDOWN",
        "OSDLEFT",       "OSDRIGHT",    "OSDENTER",   "OSDLEAVE",  "BLC",        "DAYNIGHT"};
    std::string text;
    std::string full;
    for (const char* n : kNames) {
        text += std::string(n) + ";0;0;0x01\n";
        full += std::string(n) + ",";
    }
    Handle h = openText(text);
    int length = 0;
    const std::string listing = PTZEnumerate(h.get(), 2, &length);
    EXPECT_LT(listing.size(), 256u);
    EXPECT_EQ(length, static_cast<int>(listing.size()));
    // The count says how many whole names the text holds.
    const std::size_t comma = listing.find(',');
    const int count = std::stoi(listing.substr(0, comma));
    const std::string names = listing.substr(comma + 1);
    EXPECT_EQ(full.substr(0, names.size()), names);
    EXPECT_EQ(names.back(), ',');
    EXPECT_EQ(count, static_cast<int>(std::count(names.begin(), names.end(), ',')));
    EXPECT_LT(count, 34);
    EXPECT_GT(count, 25);
}

TEST_F(Listings, SectionNamesAreListedWithDuplicates) {
    Handle h = openText("[ATTRIBUTES]\n[PANTILT] extra\nPANLEFT;1;0;0x01\n[ZOOM\n[PANTILT]\n");
    int length = 0;
    EXPECT_STREQ(PTZEnumerate(h.get(), 1, &length), "4,ATTRIBUTES,PANTILT,ZOOM,PANTILT,");
    EXPECT_EQ(length, 34);
}

TEST_F(Listings, TooManySectionsAreCutToWholeNames) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "[SECTION" + std::to_string(i) + "]\n";
    Handle h = openText(text);
    int length = 0;
    const std::string listing = PTZEnumerate(h.get(), 1, &length);
    EXPECT_LT(listing.size(), 256u);
    // "26," + ten names of 9 characters + sixteen of 10 = 253 characters
    EXPECT_EQ(listing.substr(0, 3), "26,");
    EXPECT_EQ(listing.substr(listing.size() - 10), "SECTION25,");
    EXPECT_EQ(length, 253);
}

TEST_F(Listings, EmptyProtocolListsNothing) {
    Handle h = openText("# only a comment\n");
    int length = 0;
    EXPECT_STREQ(PTZEnumerate(h.get(), 1, &length), "0,");
    EXPECT_EQ(length, 2);
    EXPECT_STREQ(PTZEnumerate(h.get(), 2, &length), "0,");
}

TEST_F(Listings, PanelTextAndMousePtz) {
    Handle h = openText("MOUSEPTZ;3\nPANEL;full\n");
    int length = 77;
    EXPECT_STREQ(PTZEnumerate(h.get(), 5, &length), "full");
    EXPECT_EQ(length, 77);
    EXPECT_EQ(PTZGetMousePTZ(h.get()), 3);
    Handle none = openText("PANLEFT;1;0;0x01\n");
    EXPECT_EQ(PTZGetMousePTZ(none.get()), 0);
    EXPECT_STREQ(PTZEnumerate(none.get(), 5, nullptr), "");
}

TEST_F(Listings, OtherKindsAndMissingHandleGiveNull) {
    Handle h = openText("PANLEFT;1;0;0x01\n");
    int length = 9;
    for (int kind : {0, 4, 6, -1}) EXPECT_EQ(PTZEnumerate(h.get(), kind, &length), nullptr);
    for (int kind : {1, 2, 5}) EXPECT_EQ(PTZEnumerate(nullptr, kind, &length), nullptr);
    EXPECT_EQ(length, 9);
}

class BuiltinOpen : public ::testing::Test {
protected:
    Handle open(const char* vendor, const char* protocol, int address = 1) {
        PTZOpenRecord r = makeRecord(address, 1);
        std::strncpy(r.vendor, vendor, sizeof r.vendor - 1);
        std::strncpy(r.protocol, protocol, sizeof r.protocol - 1);
        return Handle(PTZOpenInterface(&r));
    }
};

TEST_F(BuiltinOpen, EveryCatalogueRowWithPelcoHasBuiltinTexts) {
    for (const char* vendor : {"Tarn-A1", "Tarn-A2", "EyeView", "Messoa", "Pelco", "Tarn-C1", "Tarn-C2"}) {
        EXPECT_NE(open(vendor, "Pelco-D"), nullptr) << vendor;
        EXPECT_NE(open(vendor, "Pelco-P"), nullptr) << vendor;
    }
}

TEST_F(BuiltinOpen, NamesWithoutBuiltinTextGiveNull) {
    EXPECT_EQ(open("", "Pelco-D"), nullptr);
    EXPECT_EQ(open("Pelco", ""), nullptr);
    EXPECT_EQ(open("Messoa", "VCL"), nullptr);
    EXPECT_EQ(open("Samsung", "Pelco-D"), nullptr);
    EXPECT_EQ(open("pelco", "Pelco-D"), nullptr);
    EXPECT_EQ(open("Pel", "Pelco-D"), nullptr);
    EXPECT_EQ(PTZOpenInterface(nullptr), nullptr);
    EXPECT_EQ(PTZOpenInterfaceWithFile(nullptr), nullptr);
}

TEST_F(BuiltinOpen, FieldsWithoutTerminatorAreReadToTheirWidth) {
    PTZOpenRecord r = makeRecord(1, 1);
    std::memset(r.vendor, 'V', sizeof r.vendor);
    std::memset(r.protocol, 'P', sizeof r.protocol);
    std::memset(r.protocolFile, 'F', sizeof r.protocolFile);
    std::memset(r.cameraIp, 'I', sizeof r.cameraIp);
    EXPECT_EQ(PTZOpenInterface(&r), nullptr);
    Handle h(PTZOpenInterfaceWithFile(&r));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "PANLEFT", 1, 0, nullptr), nullptr);
}

TEST_F(BuiltinOpen, BuiltinTextListsItsSections) {
    Handle h = open("Pelco", "Pelco-D");
    EXPECT_STREQ(PTZEnumerate(h.get(), 1, nullptr), "7,ATTRIBUTES,PANTILT,ZOOM,FOCUS,IRIS,PRESET,OSD,");
}

} // namespace
