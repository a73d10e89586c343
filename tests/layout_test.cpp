#include <gtest/gtest.h>

#include "app/KVMAIN.h"
#include "ui/Scale.h"
#include "ui/TextWidth.h"
#include "TestMachine.h"

namespace kv {
namespace {

using ui::Rect;

bool Overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(LargeFonts, TheLayoutGrowsByTheDpiAndNeighboursStillMeet) {
    // A grid row's box and the unit label that meets it at an odd place.
    Rect box{74, 55, 57, 21}, unit{131, 58, 22, 16};
    for (int dpi : {96, 120, 144}) {
        Rect a = ui::Scaled(box, dpi), b = ui::Scaled(unit, dpi);
        EXPECT_EQ(a.x + a.w, b.x) << dpi;
    }
    Rect ok{383, 402, 75, 25};
    Rect big = ui::Scaled(ok, 120);
    EXPECT_EQ(big.x, 479);  // 383 * 1.25 = 478.75
    EXPECT_EQ(big.w, 94);   // right edge 458 * 1.25 = 572.5 rounds up
    EXPECT_EQ(big.h, 31);
    EXPECT_EQ(ui::Scaled(628, 120), 785);
    EXPECT_EQ(ui::Scaled(433, 120), 541);
    Rect same = ui::Scaled(ok, 96);
    EXPECT_EQ(same.x + same.y + same.w + same.h, 383 + 402 + 75 + 25);
    EXPECT_EQ(ui::Scaled(383, 0), 383) << "no DPI known: the design stands";
}

TEST(LargeFonts, CaptionsCountAnAmpersandPairOnceAndAnAccessKeyNotAtAll) {
    EXPECT_EQ(ui::CaptionWidth("CRT&&TV"), ui::CaptionWidth("CRT&TV", false));
    EXPECT_EQ(ui::CaptionWidth("&OK"), ui::CaptionWidth("OK"));
    EXPECT_EQ(ui::CaptionWidth("&Cancel"), ui::CaptionWidth("Cancel"));
}

TEST(LargeFonts, CaptionsMeasureAsTheDialogFontDrawsThem) {
    EXPECT_EQ(ui::CaptionWidth(""), 0);
    EXPECT_EQ(ui::CaptionWidth("OK"), 15);
    EXPECT_EQ(ui::CaptionWidth("a b"), 16) << "a blank is narrow";
    // Control characters and bytes that are no UTF-8 letter count as a wide
    // capital.
    EXPECT_EQ(ui::CaptionWidth("\t\x7f\xc0\xff"), 32);
    // A letter of a translation counts once, however many bytes it takes:
    // counted by bytes, a Russian caption would wrap where it fits.
    EXPECT_EQ(ui::CaptionWidth("Отмена"), 6 * 7);
    EXPECT_EQ(ui::CaptionWidth("Größe"), ui::CaptionWidth("Grose") - 6 - 5 + 2 * 7);
    EXPECT_EQ(ui::CaptionWidth("\xe2\x80\x9eX\xe2\x80\x9c"), 8 + 6 + 8) << "German quotes";
    // The letters' ranges end where they end: Latin from À to ɏ, Cyrillic
    // from Ѐ to ӿ.
    EXPECT_EQ(ui::CaptionWidth("¿ÀɏɐЀӿԀ"), 8 + 7 + 7 + 8 + 7 + 7 + 8);
}

// Every item of the three menus can be chosen and runs a command: an item
// left without its handler would do nothing when clicked.
TEST(Layout, EveryMenuItemWorks) {
    test::TestMachine m;
    TForm1 form(m.platform);
    ASSERT_EQ(form.menus.size(), 3u);
    std::vector<std::string> working;
    for (const ui::Menu& menu : form.menus)
        for (const ui::MenuItem& item : menu.items)
            if (item.enabled && item.onClick) working.push_back(item.caption);
    EXPECT_EQ(working, (std::vector<std::string>{"Uninstall", "Restore Registry", "Clean Registry", "Create Report",
                                                 "Save Profile...", "Load Profile...", "Save and Exit", "Exit", "Adapter...", "Language...",
                                                 "Resolutions...", "Try Rate...", "Contents...", "About"}));
    EXPECT_EQ(form.FindMenuItem("Exit1")->caption, "Exit");
    EXPECT_EQ(form.FindMenuItem("Nothing1"), nullptr);
}

// A control that runs into another, or out of its page, hides part of it
// at any font size.
TEST(Layout, NoControlOfAPageOverlapsAnotherOrLeavesThePage) {
    test::TestMachine m;
    TForm1 form(m.platform);
    for (const char* page : {"gbAdInfo", "gbAdvanced", "gbDriver", "gbRefresh"}) {
        const Rect& area = form[page].rect;
        std::vector<const ui::Control*> on;
        for (const auto& c : form.controls)
            if (c->parent == page) on.push_back(c.get());
        ASSERT_FALSE(on.empty()) << page;
        for (std::size_t i = 0; i < on.size(); ++i) {
            const Rect& r = on[i]->rect;
            EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= area.w && r.y + r.h <= area.h)
                << on[i]->name << " leaves " << page;
            for (std::size_t j = i + 1; j < on.size(); ++j)
                EXPECT_FALSE(Overlap(r, on[j]->rect)) << on[i]->name << " overlaps " << on[j]->name;
        }
    }
}

// Captions too wide for their column take two lines; the rest one, so the
// rows stay evenly spaced.
TEST(Layout, OnlyDriverOptionsTooWideForTheirColumnWrap) {
    test::TestMachine m;
    TForm1 form(m.platform);
    for (const char* wide : {"tcbBitBlt", "tcbBlockWrite", "tcbNoCRTTVDVI"}) {
        EXPECT_TRUE(form[wide].wordWrap) << wide;
        EXPECT_GT(form[wide].rect.h, 30) << wide;
    }
    for (const char* narrow : {"tcbNoCRTTV", "tcbCRTSAM", "tcbDFPSAM", "ttsDFPHP"}) {
        EXPECT_FALSE(form[narrow].wordWrap) << narrow;
        EXPECT_LT(form[narrow].rect.h, 20) << narrow;
    }
}

}  // namespace
}  // namespace kv
