#include "localweb/BridgeJson.h"
#include "platform/StoredJson.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace folvan;

namespace {

TEST(BridgeJson, AMessageNestedBeyondTheLimitIsRefusedBeforeItIsParsed)
{
    // A text from a page: the deep value is followed by the keys that matter.
    const localweb::BridgeJson text = localweb::parseMessage(test::deeplyNestedJson());
    EXPECT_TRUE(text.is_discarded());
    const localweb::BridgeJson fine = localweb::parseMessage(test::deeplyNestedJson(platform::maximumJsonDepth - 1));
    ASSERT_TRUE(fine.is_object());
    EXPECT_EQ(fine["next"], 1);
    EXPECT_TRUE(localweb::parseMessage("{\"event\":").is_discarded());
}

TEST(BridgeJson, AShownTextIsCutWithAnEllipsisAndNeverSplitsACharacter)
{
    using localweb::shownText;
    EXPECT_EQ(shownText("短的", 5), QStringLiteral("短的"));
    EXPECT_EQ(shownText("12345", 5), QStringLiteral("12345"));
    EXPECT_EQ(shownText("123456", 5), QStringLiteral("1234…"));
    // Four bytes a character, and a character beyond the basic plane.
    EXPECT_EQ(shownText("\xF0\x9D\x91\x8E\xF0\x9D\x91\x8E\xF0\x9D\x91\x8E", 4), QStringLiteral("𝑎…"));
    EXPECT_EQ(shownText(std::string(10'000'000, 'x')).size(), localweb::maximumShownText);
}

} // namespace
