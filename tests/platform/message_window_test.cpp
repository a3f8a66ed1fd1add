// Tests of message windows: posting, taking, destruction and stale handles.
#include "platform/message_window.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "zirvo_port.h"

namespace zirvo::platform {
namespace {

class MessageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateMessageWindow();
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { DestroyMessageWindow(window_); }

  WindowHandle window_ = nullptr;
};

TEST_F(MessageWindowTest, MessagesArriveOldestFirstWithTheirValues) {
  ASSERT_TRUE(PostWindowMessage(window_, 0x8003, 0, 12));
  ASSERT_TRUE(PostWindowMessage(window_, 0x8002, 0xABCDEF, -5));
  WindowMessage message{};
  ASSERT_EQ(GetWindowMessage(window_, message, 0), 1);
  EXPECT_EQ(message.window, window_);
  EXPECT_EQ(message.message, 0x8003u);
  EXPECT_EQ(message.lParam, 12);
  ASSERT_EQ(GetWindowMessage(window_, message, 0), 1);
  EXPECT_EQ(message.message, 0x8002u);
  EXPECT_EQ(message.wParam, 0xABCDEFu);
  EXPECT_EQ(message.lParam, -5);
  EXPECT_EQ(GetWindowMessage(window_, message, 0), 0);
}

TEST_F(MessageWindowTest, EmptyQueueTimesOut) {
  WindowMessage message{};
  EXPECT_EQ(GetWindowMessage(window_, message, 5), 0);
}

TEST_F(MessageWindowTest, QueueGrowsWithoutLosingMessages) {
  constexpr int kCount = 100000;
  for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostWindowMessage(window_, 1, 0, i));
  WindowMessage message{};
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(GetWindowMessage(window_, message, 0), 1);
    ASSERT_EQ(message.lParam, i);
  }
}

TEST_F(MessageWindowTest, ReaderWaitingWithoutLimitGetsAMessageFromAnotherThread) {
  WindowMessage message{};
  int result = 0;
  std::thread reader([&] { result = GetWindowMessage(window_, message, -1); });
  ASSERT_TRUE(PostWindowMessage(window_, 7, 1, 2));
  reader.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(message.message, 7u);
}

TEST_F(MessageWindowTest, PostersOnManyThreadsLoseNothing) {
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) PostWindowMessage(window_, 1, static_cast<uintptr_t>(t), i);
    });
  std::vector<int> next(kThreads, 0);
  WindowMessage message{};
  for (int received = 0; received < kThreads * kEach; ++received) {
    ASSERT_EQ(GetWindowMessage(window_, message, -1), 1);
    // Each poster's messages keep their order.
    ASSERT_EQ(message.lParam, next[message.wParam]++);
  }
  for (std::thread& poster : posters) poster.join();
}

TEST_F(MessageWindowTest, DestroyedWindowRefusesPostsAndReads) {
  ASSERT_TRUE(PostWindowMessage(window_, 1, 0, 0));
  ASSERT_TRUE(DestroyMessageWindow(window_));
  EXPECT_FALSE(IsMessageWindow(window_));
  EXPECT_FALSE(PostWindowMessage(window_, 1, 0, 0));
  WindowMessage message{};
  EXPECT_EQ(GetWindowMessage(window_, message, 0), -1);
  EXPECT_FALSE(DestroyMessageWindow(window_));
}

TEST_F(MessageWindowTest, DestroyWakesAWaitingReader) {
  int result = 0;
  std::shared_ptr<MessageWindow> held = FindMessageWindow(window_);
  std::thread reader([&] {
    WindowMessage message{};
    result = held->Take(message, -1);
  });
  DestroyMessageWindow(window_);
  reader.join();
  EXPECT_EQ(result, -1);
}

TEST_F(MessageWindowTest, HandlesAreNotReused) {
  WindowHandle other = CreateMessageWindow();
  DestroyMessageWindow(other);
  WindowHandle next = CreateMessageWindow();
  EXPECT_NE(next, other);
  EXPECT_FALSE(PostWindowMessage(other, 1, 0, 0));
  DestroyMessageWindow(next);
}

TEST(MessageWindowHandles, UnknownHandlesFailQuietly) {
  WindowMessage message{};
  EXPECT_FALSE(PostWindowMessage(nullptr, 1, 0, 0));
  EXPECT_FALSE(PostWindowMessage(reinterpret_cast<WindowHandle>(uintptr_t{0x1234}), 1, 0, 0));
  EXPECT_EQ(GetWindowMessage(nullptr, message, 0), -1);
  EXPECT_FALSE(DestroyMessageWindow(nullptr));
}

TEST(MessageWindowPortFunctions, CreatePostGetDestroy) {
  HWND window = ZirvoPort_CreateMessageWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostWindowMessage(window, WM_CAMERA_ERROR, 0, 9));
  ZirvoPortMessage message{};
  ASSERT_EQ(ZirvoPort_GetMessage(window, &message, 0), 1);
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.message, 0x8003u);
  EXPECT_EQ(message.lParam, 9);
  EXPECT_EQ(ZirvoPort_GetMessage(window, &message, 1), 0);
  EXPECT_EQ(ZirvoPort_GetMessage(window, nullptr, 0), -1);
  EXPECT_EQ(ZirvoPort_DestroyWindow(window), 1);
  EXPECT_EQ(ZirvoPort_DestroyWindow(window), 0);
  EXPECT_EQ(ZirvoPort_GetMessage(window, &message, 0), -1);
}

}  // namespace
}  // namespace zirvo::platform
