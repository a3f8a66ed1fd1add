// The disk instance list: registered texts, host texts hidden, instance path format.
#include "platform/disk_enumeration.h"

#include <gtest/gtest.h>

#include "platform/host_disks.h"
#include "platform/raw_disk.h"

namespace zirvo::platform {
namespace {

class DiskEnumerationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHostDisksHidden(true);
    ResetDiskEnumerationTexts();
  }
  void TearDown() override { ResetDiskEnumerationTexts(); }

  std::vector<std::string> Read() {
    std::vector<std::string> texts{"stale"};
    EXPECT_TRUE(ReadDiskEnumeration(texts));
    return texts;
  }
};

TEST_F(DiskEnumerationTest, EmptyWhenHostHiddenAndNothingRegistered) {
  EXPECT_TRUE(Read().empty());
}

TEST_F(DiskEnumerationTest, RegisteredTextsComeInTheirOrder) {
  AddDiskEnumerationText("first");
  AddDiskEnumerationText("second");
  AddDiskEnumerationText("first");
  EXPECT_EQ((std::vector<std::string>{"first", "second", "first"}), Read());
}

TEST_F(DiskEnumerationTest, RemoveTakesAwayOneRegistration) {
  AddDiskEnumerationText("camera");
  AddDiskEnumerationText("other");
  AddDiskEnumerationText("camera");
  RemoveDiskEnumerationText("camera");
  EXPECT_EQ((std::vector<std::string>{"other", "camera"}), Read());
  RemoveDiskEnumerationText("absent");
  EXPECT_EQ(2u, Read().size());
}

TEST_F(DiskEnumerationTest, ResetForgetsAllRegisteredTexts) {
  AddDiskEnumerationText("camera");
  ResetDiskEnumerationTexts();
  EXPECT_TRUE(Read().empty());
}

TEST_F(DiskEnumerationTest, HostTextsPrecedeRegisteredOnesWhenShown) {
  AddDiskEnumerationText("registered");
  SetHostDisksHidden(false);
  std::vector<std::string> texts;
  ASSERT_TRUE(ReadDiskEnumeration(texts));
  std::vector<std::string> hostTexts;
  AppendHostEnumerationTexts(hostTexts);
  SetHostDisksHidden(true);
  hostTexts.push_back("registered");
  EXPECT_EQ(hostTexts, texts);
}

TEST(UsbStorageInstancePathTest, TrimsPartsAndWritesSpacesAsUnderscores) {
  EXPECT_EQ("USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\\2&0",
            UsbStorageInstancePath("KELVOR  ", "USB3.0 7730QX   \n", " 1.00", 2));
}

TEST(UsbStorageInstancePathTest, EmptyAttributesLeaveEmptyParts) {
  EXPECT_EQ("USBSTOR\\Disk&Ven_&Prod_&Rev_\\0&0", UsbStorageInstancePath("", "   ", "", 0));
}

}  // namespace
}  // namespace zirvo::platform
