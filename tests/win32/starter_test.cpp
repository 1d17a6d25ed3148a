// Datagrams to the starting window.
#include "win32/starter.h"

#include <gtest/gtest.h>

#include "tests/support/host_fixture.h"

using namespace win32;

TEST(StarterTest, EachCallIsOneDatagramWithSignedNumbers) {
  const HWND window = static_cast<HWND>(static_cast<std::uint32_t>(-77));
  StarterListener listener(window);
  EXPECT_EQ(StarterSocketName(window), "uchiwake-window--77");
  EXPECT_EQ(EnableWindow(window, FALSE), FALSE);
  EXPECT_EQ(EnableWindow(window, TRUE), TRUE);  // it was disabled before
  EXPECT_TRUE(SetForegroundWindow(window));
  EXPECT_TRUE(
      PostMessageA(window, 1025, static_cast<WPARAM>(static_cast<std::int32_t>(std::int16_t{-25536})), 2));
  EXPECT_EQ(listener.Drain(1000),
            (std::vector<std::string>{"ENABLE 0", "ENABLE 1", "FOREGROUND", "POST 1025 -25536 2"}));
}

TEST(StarterTest, AWindowThatIsNotThereFailsQuietly) {
  const HWND window = 987654;
  EXPECT_FALSE(SetForegroundWindow(window));
  EXPECT_FALSE(PostMessageA(window, 1, 2, 3));
}
