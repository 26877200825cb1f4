#include "editor/TypedTime.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(TypedTime, MinutesAndSecondsOrSecondsAloneRoundedToTheTenth) {
    struct Case {
        const char* text;
        float seconds;
    } cases[] = {{"1:23.4", 83.4f}, {"83.4", 83.4f}, {"20", 20.0f},      {" 0:05 ", 5.0f}, {"83,4", 83.4f},
                 {"12.34", 12.3f},  {"12.35s", 12.4f}, {".5", 0.5f},     {"14:00", 840.0f}, {"7.", 7.0f},
                 {"1:59.97", 120.0f}, {"0", 0.0f}};
    for (const Case& c : cases) {
        const auto parsed = TypedTime::parse(QString::fromLatin1(c.text));
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(*parsed, c.seconds) << c.text;
    }
}

TEST(TypedTime, WhatIsNoTimeIsRefusedWithItsReason) {
    struct Case {
        const char* text;
        const char* key;
    } cases[] = {{"2:99", TypedTime::kSecondsKey}, {"1:60", TypedTime::kSecondsKey},
                 {"", TypedTime::kUnreadableKey},  {"abc", TypedTime::kUnreadableKey},
                 {"-3", TypedTime::kUnreadableKey}, {"1:2:3", TypedTime::kUnreadableKey},
                 {"1e5", TypedTime::kUnreadableKey}, {":30", TypedTime::kUnreadableKey}};
    for (const Case& c : cases) {
        QString key;
        EXPECT_FALSE(TypedTime::parse(QString::fromLatin1(c.text), &key).has_value()) << c.text;
        EXPECT_EQ(key, QString::fromLatin1(c.key)) << c.text;
    }
}
