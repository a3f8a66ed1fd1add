// Tests of the camera's error store: order, capacity and notifications.
#include "instance/error_store.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zirvo {
namespace {

class ErrorStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { window_ = platform::CreateMessageWindow(); }
  void TearDown() override { platform::DestroyMessageWindow(window_); }

  std::vector<intptr_t> PostedCodes() {
    std::vector<intptr_t> codes;
    platform::WindowMessage message{};
    while (platform::GetWindowMessage(window_, message, 0) == 1) {
      EXPECT_EQ(message.message, 0x8003u);
      EXPECT_EQ(message.wParam, 0u);
      codes.push_back(message.lParam);
    }
    return codes;
  }

  ErrorStore store_;
  platform::WindowHandle window_ = nullptr;
};

TEST_F(ErrorStoreTest, EmptyStoreReadsZero) { EXPECT_EQ(store_.PopError(), 0); }

TEST_F(ErrorStoreTest, CodesComeBackNewestFirst) {
  store_.RecordError(2);
  store_.RecordError(7);
  store_.RecordError(12);
  EXPECT_EQ(store_.PopError(), 12);
  EXPECT_EQ(store_.PopError(), 7);
  EXPECT_EQ(store_.PopError(), 2);
  EXPECT_EQ(store_.PopError(), 0);
}

TEST_F(ErrorStoreTest, TwentyFirstCodePushesOutTheOldest) {
  for (int code = 1; code <= 21; ++code) store_.RecordError(code);
  for (int code = 21; code >= 2; --code) EXPECT_EQ(store_.PopError(), code);
  EXPECT_EQ(store_.PopError(), 0);
}

TEST_F(ErrorStoreTest, EveryCodeIsPostedToTheNotificationWindowInOrder) {
  store_.SetNotificationWindow(window_);
  store_.RecordError(12);
  store_.RecordError(0);
  store_.RecordError(7);
  EXPECT_EQ(PostedCodes(), (std::vector<intptr_t>{12, 0, 7}));
}

TEST_F(ErrorStoreTest, WithoutNotificationWindowCodesAreStoredAndNothingIsPosted) {
  store_.RecordError(9);
  EXPECT_TRUE(PostedCodes().empty());
  EXPECT_EQ(store_.PopError(), 9);
}

TEST_F(ErrorStoreTest, DestroyedNotificationWindowDoesNotLoseTheCode) {
  store_.SetNotificationWindow(window_);
  platform::DestroyMessageWindow(window_);
  store_.RecordError(5);
  EXPECT_EQ(store_.PopError(), 5);
}

TEST_F(ErrorStoreTest, RecordingFromSeveralThreadsKeepsStoreAndMessagesAlike) {
  store_.SetNotificationWindow(window_);
  std::vector<std::thread> workers;
  for (int t = 1; t <= 4; ++t)
    workers.emplace_back([this, t] {
      for (int i = 0; i < 5; ++i) store_.RecordError(t);
    });
  for (std::thread& worker : workers) worker.join();
  std::vector<intptr_t> posted = PostedCodes();
  ASSERT_EQ(posted.size(), 20u);
  // The store holds the twenty codes newest first, exactly as they were posted.
  for (auto code = posted.rbegin(); code != posted.rend(); ++code) EXPECT_EQ(store_.PopError(), *code);
  EXPECT_EQ(store_.PopError(), 0);
}

}  // namespace
}  // namespace zirvo
