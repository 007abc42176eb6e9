#include "CxList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

// The list's node allocation uses the non-throwing new; a death test makes it
// fail to show that the failure ends in the list's own assertion.
static bool g_failNothrowNew = false;

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNothrowNew)
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

// Three items the list only points to.
class ListOfThree : public ::testing::Test {
protected:
    void SetUp() override {
        for (int* p : {&a, &b, &c})
            ASSERT_TRUE(list.Add(p));
    }
    std::vector<void*> Scan() {
        std::vector<void*> items;
        for (void* p = list.GetFirst(); p; p = list.GetNext())
            items.push_back(p);
        return items;
    }
    int a = 1, b = 2, c = 3;
    CxList list;
};

TEST(CxListEmpty, ScanGivesNullAndCountZero) {
    CxList list;
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetFirst(), nullptr);
    // m_nCount - 1 wraps to the largest value here; the walk still answers null.
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_FALSE(list.Contains(nullptr));
    EXPECT_FALSE(list.SetCurrent(nullptr));
}

TEST(CxListEmpty, NullItemIsRefused) {
    CxList list;
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetFirst(), nullptr);
}

TEST_F(ListOfThree, ScanReturnsInsertionOrderAndStaysOnLast) {
    EXPECT_EQ(Scan(), (std::vector<void*>{&a, &b, &c}));
    // Past the end the cursor stays on the last node.
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(Scan(), (std::vector<void*>{&a, &b, &c}));
}

TEST_F(ListOfThree, GetNextAfterAddIsNull) {
    list.GetFirst();
    int d = 4;
    ASSERT_TRUE(list.Add(&d));
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetCount(), 4u);
}

TEST_F(ListOfThree, RemovingTheItemJustScannedSkipsItsFollower) {
    EXPECT_EQ(list.GetFirst(), &a);
    EXPECT_EQ(list.GetNext(), &b);
    ASSERT_TRUE(list.Remove(&b, false));
    // The cursor stands on c now, so c is skipped.
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(Scan(), (std::vector<void*>{&a, &c}));
}

TEST_F(ListOfThree, RemovingTheHeadKeepsTheRestScannable) {
    list.GetFirst();
    ASSERT_TRUE(list.Remove(&a, false));
    EXPECT_EQ(list.GetNext(), &c);
    EXPECT_EQ(Scan(), (std::vector<void*>{&b, &c}));
}

TEST_F(ListOfThree, RemovingTheTailLeavesNoCursor) {
    list.GetFirst();
    ASSERT_TRUE(list.Remove(&c, false));
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(Scan(), (std::vector<void*>{&a, &b}));
    // Adding after the tail went links behind the new tail.
    int d = 4;
    ASSERT_TRUE(list.Add(&d));
    EXPECT_EQ(Scan(), (std::vector<void*>{&a, &b, &d}));
}

TEST_F(ListOfThree, RemovingEveryItemGivesANewList) {
    for (void* p : {static_cast<void*>(&b), static_cast<void*>(&c), static_cast<void*>(&a)})
        ASSERT_TRUE(list.Remove(p, false));
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetFirst(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    ASSERT_TRUE(list.Add(&c));
    EXPECT_EQ(Scan(), (std::vector<void*>{&c}));
}

TEST_F(ListOfThree, RemoveOfAnItemNotHeldChangesNothing) {
    // Would be a free() of a stack address if the list freed it anyway.
    int other = 9;
    list.GetFirst();
    list.GetNext();
    EXPECT_FALSE(list.Remove(&other, true));
    EXPECT_FALSE(list.Remove(nullptr, true));
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetNext(), &c);
}

TEST_F(ListOfThree, SetCurrentMovesTheCursorOnlyWhenFound) {
    ASSERT_TRUE(list.SetCurrent(&a));
    EXPECT_EQ(list.GetNext(), &b);
    int other = 9;
    EXPECT_FALSE(list.SetCurrent(&other));
    EXPECT_EQ(list.GetNext(), &c);
    // Backwards to the head, then forwards again.
    ASSERT_TRUE(list.SetCurrent(&a));
    EXPECT_EQ(list.GetNext(), &b);
    EXPECT_EQ(list.GetNext(), &c);
}

TEST_F(ListOfThree, NestedScanRestoredWithSetCurrent) {
    std::vector<std::pair<void*, void*>> pairs;
    for (void* seed = list.GetFirst(); seed; seed = list.GetNext()) {
        ASSERT_TRUE(list.SetCurrent(seed));
        for (void* p = list.GetNext(); p; p = list.GetNext())
            pairs.emplace_back(seed, p);
        ASSERT_TRUE(list.SetCurrent(seed));
    }
    EXPECT_EQ(pairs, (std::vector<std::pair<void*, void*>>{{&a, &b}, {&a, &c}, {&b, &c}}));
}

TEST(CxListDuplicates, SamePointerCountsTwiceAndRemovesFirstNode) {
    int a = 1, b = 2;
    CxList list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    EXPECT_EQ(list.GetCount(), 3u);
    // SetCurrent finds the first node, so the scan continues with b.
    ASSERT_TRUE(list.SetCurrent(&a));
    EXPECT_EQ(list.GetNext(), &b);

    ASSERT_TRUE(list.Remove(&a, false));
    EXPECT_TRUE(list.Contains(&a));
    std::vector<void*> items;
    for (void* p = list.GetFirst(); p; p = list.GetNext())
        items.push_back(p);
    EXPECT_EQ(items, (std::vector<void*>{&b, &a}));

    ASSERT_TRUE(list.Remove(&a, false));
    EXPECT_FALSE(list.Contains(&a));
    EXPECT_FALSE(list.Remove(&a, false));
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(CxListOwnership, FreesItemsOnlyWhenAsked) {
    // Run under AddressSanitizer: a missing free shows as a leak, a free of an
    // item kept by the caller as a double free below.
    void* kept1 = std::malloc(8);
    void* kept2 = std::malloc(8);
    {
        CxList list;
        list.Add(kept1);
        list.Add(kept2);
        list.RemoveAll(false);
        EXPECT_EQ(list.GetCount(), 0u);
        EXPECT_EQ(list.GetFirst(), nullptr);
        list.Add(kept1);
        list.Add(kept2);
    } // the destructor frees nodes only
    std::free(kept1);
    std::free(kept2);

    CxList list;
    for (int i = 0; i < 3; ++i)
        list.Add(std::malloc(16));
    void* removed = std::malloc(16);
    list.Add(removed);
    ASSERT_TRUE(list.Remove(removed, true));
    list.RemoveAll(true);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetNext(), nullptr);
}

TEST(CxListDeathTest, FailedNodeAllocationIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int a = 1;
    EXPECT_DEATH(
        {
            CxList list;
            g_failNothrowNew = true;
            list.Add(&a);
        },
        "Assertion failed: pContainer, file .*CxList\\.cpp");
}

} // namespace
