// HeldText: room reserved once, taken as the text grows, never over its capacity.
#include "core/ooxml/held_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

namespace tessarin::ooxml {
namespace {

// The process's resident memory in KiB, from /proc.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

TEST(HeldText, AppendsWithinItsRoomAndRefusesBeyondIt) {
  HeldText text(10);
  ASSERT_TRUE(text.ok());
  EXPECT_TRUE(text.Append("0123"));
  EXPECT_TRUE(text.Append(""));
  EXPECT_FALSE(text.Append("4567890"));  // one byte too many: nothing of it is taken
  EXPECT_EQ(text.view(), "0123");
  EXPECT_EQ(text.room(), 6u);
  // Written in place, then taken.
  EXPECT_FALSE(text.Reserve(7));
  ASSERT_TRUE(text.Reserve(6));
  std::memcpy(text.end(), "456789", 6);
  text.Advance(6);
  EXPECT_EQ(text.view(), "0123456789");
  EXPECT_FALSE(text.Append("x"));
  EXPECT_TRUE(text.Append(""));
}

TEST(HeldText, FittedKeepsItsTextAndNoMoreRoom) {
  HeldText text(64u << 20);
  ASSERT_TRUE(text.Append("0123456789"));
  text.Fit();
  EXPECT_EQ(text.view(), "0123456789");
  EXPECT_LT(text.capacity(), 1u << 20);
  EXPECT_TRUE(text.Append(std::string(text.room(), 'x')));  // what is left of its memory
  EXPECT_FALSE(text.Append("y"));
  // The same once the text has moved into reserved room.
  HeldText big(64u << 20);
  const std::string line(3u << 20, 'z');
  ASSERT_TRUE(big.Append(line));
  big.Fit();
  EXPECT_EQ(big.view(), line);
  EXPECT_LT(big.capacity(), (3u << 20) + 8192);
  EXPECT_TRUE(big.Append(std::string(big.room(), 'x')));
  EXPECT_FALSE(big.Append("y"));
}

TEST(HeldText, MovesAndReleasesItsRoom) {
  HeldText a(1 << 20);
  ASSERT_TRUE(a.Append("kept"));
  EXPECT_TRUE(a.ok());
  HeldText b(std::move(a));
  EXPECT_FALSE(a.ok());
  EXPECT_EQ(b.view(), "kept");
  HeldText c(16);
  c = std::move(b);
  EXPECT_EQ(c.view(), "kept");
  c.Release();
  EXPECT_FALSE(c.ok());
  EXPECT_EQ(c.view(), "");
  EXPECT_FALSE(c.Append("x"));
  EXPECT_FALSE(HeldText(0).ok());
  EXPECT_FALSE(HeldText().ok());
}

TEST(HeldText, TakesMemoryOnlyAsTheTextReachesIt) {
  const long before = ResidentKiB();
  ASSERT_GT(before, 0);
  HeldText text(size_t{1} << 30);  // a reservation far beyond what is written
  ASSERT_TRUE(text.ok());
  const std::string block(4096, 'x');
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(text.Append(block));
  EXPECT_LT(ResidentKiB() - before, 16 * 1024);
  // Past the first pages, where large pages may be used, the text stays whole.
  std::string line;
  for (int i = 0; line.size() < (8u << 20); ++i) line += std::to_string(i) + ",";
  ASSERT_TRUE(text.Append(line));
  EXPECT_EQ(text.view().substr(0, 4096), block);
  EXPECT_EQ(text.view().substr(256 * 4096), line);
  EXPECT_EQ(text.size(), 256 * 4096 + line.size());
}

}  // namespace
}  // namespace tessarin::ooxml
