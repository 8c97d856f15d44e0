// 8-bit name text: conversion between UTF-8 and the operator's code page.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage.h"

namespace tscard {
namespace {

TEST(CodePage, RoundTripsTextTheCodePageHolds) {
    struct Case {
        CodePage page;
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {CodePage::Cp1251, "Первый", "\xCF\xE5\xF0\xE2\xFB\xE9"},
        {CodePage::Cp1251, "Ёё №", "\xA8\xB8 \xB9"},
        {CodePage::Cp1252, "Café €", "Caf\xE9 \x80"},
        {CodePage::Cp1252, "plain", "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeCodePage(c.utf8, c.page), c.bytes) << c.utf8;
        EXPECT_EQ(DecodeCodePage(c.bytes, c.page), c.utf8) << c.utf8;
    }
}

TEST(CodePage, RefusesTextTheCodePageCannotHold) {
    EXPECT_FALSE(EncodeCodePage("Первый", CodePage::Cp1252));
    EXPECT_FALSE(EncodeCodePage("Café", CodePage::Cp1251)) << "é is not in CP1251";
    EXPECT_FALSE(EncodeCodePage("日本", CodePage::Cp1251));
    EXPECT_FALSE(EncodeCodePage("\xFF\xFE", CodePage::Cp1252)) << "not UTF-8";
    EXPECT_FALSE(EncodeCodePage("\xC3", CodePage::Cp1252)) << "truncated sequence";
}

TEST(CodePage, ANameThatMustBeStoredLosesOnlyWhatCannotBeWritten) {
    struct Case {
        CodePage page;
        std::string utf8;
        std::string bytes;
        bool lossy;
    };
    const Case cases[] = {
        {CodePage::Cp1252, "Café €.ts", "Caf\xE9 \x80.ts", false},
        // Each byte that is no UTF-8 becomes one '?', the dot stays.
        {CodePage::Cp1252, "n\xE9\xFF.ts", "n??.ts", true},
        {CodePage::Cp1252, "a\xE2\x82", "a??", true},        // a sequence cut short at the end
        {CodePage::Cp1252, "\xC3\x28x", "?(x", true},         // a lead byte without its follower
        {CodePage::Cp1252, "Первый.ts", "??????.ts", true},  // a character the code page lacks: one '?' each
        {CodePage::Cp1251, "Первый.ts", "\xCF\xE5\xF0\xE2\xFB\xE9.ts", false},
    };
    for (const Case& c : cases) {
        bool lossy = !c.lossy;
        EXPECT_EQ(EncodeCodePageReplacing(c.utf8, c.page, lossy), c.bytes) << c.utf8;
        EXPECT_EQ(lossy, c.lossy) << c.utf8;
    }
}

TEST(CodePage, EveryByteDecodesToValidUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (CodePage page : {CodePage::Cp1251, CodePage::Cp1252}) {
        const std::string text = DecodeCodePage(all, page);
        const auto back = EncodeCodePage(text, page);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, all) << CodePageName(page);
    }
}

TEST(CodePage, FollowsTheLocaleVariablesInPrecedence) {
    struct Case {
        const char* lc_all;
        const char* lc_messages;
        const char* lang;
        bool russian;
    };
    const Case cases[] = {
        {nullptr, nullptr, "ru_RU.UTF-8", true},
        {nullptr, nullptr, "en_US.UTF-8", false},
        {"en_US.UTF-8", nullptr, "ru_RU.UTF-8", false},
        {nullptr, "ru_RU.UTF-8", "en_US.UTF-8", true},
        {"", "", "ru", true},
        {nullptr, nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        auto set = [](const char* name, const char* value) {
            if (value) setenv(name, value, 1);
            else unsetenv(name);
        };
        set("LC_ALL", c.lc_all);
        set("LC_MESSAGES", c.lc_messages);
        set("LANG", c.lang);
        EXPECT_EQ(IsRussianLocale(), c.russian);
        EXPECT_EQ(SystemCodePage(), c.russian ? CodePage::Cp1251 : CodePage::Cp1252);
    }
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    unsetenv("LANG");
}

}  // namespace
}  // namespace tscard
