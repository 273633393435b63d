#include "CheckListScenario.h"

#include <gtest/gtest.h>

void CheckListScenario(CheckList& list, const std::function<void()>& settle) {
    std::vector<std::pair<int, bool>> checks;  // row, and its tick as seen inside ItemCheck
    std::vector<int> clicks;                   // ListIndex as seen inside Click
    list.ItemCheck = [&](int row) { checks.emplace_back(row, list.Selected(row)); };
    list.Click = [&] { clicks.push_back(list.ListIndex()); };

    EXPECT_EQ(list.NewIndex(), -1);
    for (const char* text : {"Alpha", "Beta", "Gamma"}) list.AddItem(text);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.NewIndex(), 2);
    EXPECT_EQ(list.List(1), "Beta");
    list.SetItemData(0, -40000);
    list.SetItemData(2, 2147483647);
    EXPECT_EQ(list.ItemData(0), -40000);
    EXPECT_EQ(list.ItemData(1), 0);
    EXPECT_EQ(list.ItemData(2), 2147483647);
    EXPECT_FALSE(list.Selected(0));
    EXPECT_EQ(list.ListIndex(), -1);

    // Every change the program makes is notified once, inside the call that makes it.
    list.SetSelected(1, true);
    EXPECT_EQ(checks.size(), 1u);
    list.SetSelected(1, true);  // no change
    list.SetSelected(7, true);  // no such row
    list.SetSelected(1, false);
    list.SetListIndex(2);
    EXPECT_EQ(clicks.size(), 1u);
    list.SetListIndex(2);
    list.SetListIndex(9);
    settle();
    EXPECT_EQ(checks, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}}));
    EXPECT_EQ(clicks, std::vector<int>{2});
    EXPECT_EQ(list.ListIndex(), 2);

    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.NewIndex(), -1);
    list.AddItem("Again");
    list.SetListIndex(0);
    settle();
    EXPECT_EQ(clicks, (std::vector<int>{2, 0}));
    list.ItemCheck = nullptr;
    list.Click = nullptr;
}
