#include "formats/label_block.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::formats {
namespace {

TEST(LabelBlock, SampleJobIsOneBlockWithTheItemOnLine25) {
  const auto job = sampleJob("02:09 PM");
  ASSERT_EQ(job.size(), kLabelBlockLines);
  EXPECT_EQ(job[5], "Time: 02:09 PM");
  EXPECT_EQ(job[15], "Directions Line 1");
  EXPECT_EQ(job[16], "");
  EXPECT_EQ(job[24], "");
  EXPECT_EQ(job[25], "99 Item Name Goes Here");
  EXPECT_EQ(job[26], "Mod Line 1");
  EXPECT_EQ(job[35], "Mod Line 10");
  EXPECT_TRUE(std::all_of(job.begin() + 36, job.end(), [](auto& l) { return l.empty(); }));
}

TEST(LabelBlock, TagListIsSortedAndCoversEveryHeaderTag) {
  EXPECT_TRUE(std::is_sorted(kDesignTags.begin(), kDesignTags.end()));
  for (const auto& header : kHeaderTags)
    EXPECT_NE(std::find(kDesignTags.begin(), kDesignTags.end(), header.tag), kDesignTags.end());
  EXPECT_EQ(itemModifierTag(150), "<Item Mod[150]>");
  // The list as the operator sees it, in its order.
  EXPECT_THAT(kDesignTags,
              ::testing::ElementsAre(
                  "<Address>", "<City and Town>", "<Directions>", "<Employee>", "<Item Mod[n]>",
                  "<Item Name>", "<Label Header (Parsed)>", "<Label Header>", "<Map Code (Parsed)>",
                  "<Map Code>", "<Order Time (Parsed)>", "<Order Time>", "<Order Total>", "<Phone>",
                  "<Reference>", "<Revenue Center>", "<Total Text>", "<Transaction Description>"));
}

} // namespace
} // namespace velmora::formats
