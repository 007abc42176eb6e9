#include "CommAddrMgr.h"
#include "CommDateMgr.h"
#include "CommNoteMgr.h"
#include "CommTaskMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

// The owning exchange object destroys task and note collections through their
// virtual destructor and the other two directly.
static_assert(std::has_virtual_destructor_v<CommTaskMgr>);
static_assert(std::has_virtual_destructor_v<CommNoteMgr>);
static_assert(!std::has_virtual_destructor_v<CommAddrMgr>);
static_assert(!std::has_virtual_destructor_v<CommDateMgr>);

template <class TMgr> class CollectionTest : public ::testing::Test {
protected:
    using Rec = typename TMgr::Record;

    Rec* Add(int32_t sourceType, void* data = nullptr, uint32_t size = 0) {
        Rec rec;
        rec.SourceType = sourceType;
        rec.NativeData = data;
        rec.NativeSize = size;
        return mgr.AddRecord(&rec);
    }
    std::vector<int32_t> Walk() {
        std::vector<int32_t> seen;
        for (Rec* r = mgr.GetFirstRecord(); r; r = mgr.GetNextRecord())
            seen.push_back(r->SourceType);
        return seen;
    }

    TMgr mgr;
};

using Collections = ::testing::Types<CommAddrMgr, CommDateMgr, CommTaskMgr, CommNoteMgr>;
TYPED_TEST_SUITE(CollectionTest, Collections);

TYPED_TEST(CollectionTest, StartsEmpty) {
    EXPECT_EQ(this->mgr.GetRecordCount(), 0u);
    EXPECT_EQ(this->mgr.GetFirstRecord(), nullptr);
    EXPECT_EQ(this->mgr.GetNextRecord(), nullptr);
}

TYPED_TEST(CollectionTest, AddStoresACopyInInsertionOrder) {
    EXPECT_EQ(this->mgr.AddRecord(nullptr), nullptr);
    typename TestFixture::Rec rec;
    rec.SourceType = 19;
    auto* stored = this->mgr.AddRecord(&rec);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored, &rec);
    rec.SourceType = 20;
    EXPECT_EQ(stored->SourceType, 19);
    this->Add(21);
    EXPECT_EQ(this->mgr.GetRecordCount(), 2u);
    EXPECT_EQ(this->Walk(), (std::vector<int32_t>{19, 21}));
}

TYPED_TEST(CollectionTest, ALinkIsKeptAsItIsAndNeverFreed) {
    int linked = 42;
    auto* stored = this->Add(1, &linked, 0);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->NativeData, &linked);
    this->mgr.DeleteAll();
    EXPECT_EQ(this->mgr.GetRecordCount(), 0u);
    EXPECT_EQ(linked, 42);
}

TYPED_TEST(CollectionTest, AnAttachedBlockIsCopiedAndOwned) {
    unsigned char block[10];
    std::memset(block, 0xAB, sizeof(block));
    auto* stored = this->Add(1, block, sizeof(block));
    ASSERT_NE(stored, nullptr);
    ASSERT_NE(stored->NativeData, nullptr);
    EXPECT_NE(stored->NativeData, static_cast<void*>(block));
    EXPECT_EQ(stored->NativeSize, 10u);
    std::memset(block, 0, sizeof(block));
    EXPECT_EQ(std::memcmp(stored->NativeData, "\xAB\xAB\xAB\xAB\xAB\xAB\xAB\xAB\xAB\xAB", 10), 0);
    // Freed with the record (the sanitizer build reports a leak otherwise).
    this->mgr.DeleteAll();
}

TYPED_TEST(CollectionTest, SetCurrentRecordMovesTheCursorOnlyOntoStoredRecords) {
    auto* a = this->Add(1);
    auto* b = this->Add(2);
    auto* c = this->Add(3);
    ASSERT_TRUE(this->mgr.SetCurrentRecord(a));
    EXPECT_EQ(this->mgr.GetNextRecord(), b);

    typename TestFixture::Rec stranger;
    EXPECT_FALSE(this->mgr.SetCurrentRecord(&stranger));
    EXPECT_FALSE(this->mgr.SetCurrentRecord(nullptr));
    // The cursor is still on b.
    EXPECT_EQ(this->mgr.GetNextRecord(), c);

    ASSERT_TRUE(this->mgr.SetCurrentRecord(c));
    EXPECT_EQ(this->mgr.GetNextRecord(), nullptr);
}

TYPED_TEST(CollectionTest, DeleteRecordRemovesOneAndLeavesTheCursorOnItsFollower) {
    unsigned char block[4] = {1, 2, 3, 4};
    auto* a = this->Add(1);
    auto* b = this->Add(2, block, sizeof(block));
    this->Add(3);
    auto* d = this->Add(4);
    ASSERT_EQ(this->mgr.GetFirstRecord(), a);
    ASSERT_EQ(this->mgr.GetNextRecord(), b);
    EXPECT_TRUE(this->mgr.DeleteRecord(b));
    // As the list's Remove: the cursor stands on c, so the next record is d.
    EXPECT_EQ(this->mgr.GetNextRecord(), d);
    EXPECT_EQ(this->Walk(), (std::vector<int32_t>{1, 3, 4}));

    // Held elsewhere: freeing it here would show as a double free.
    auto stranger = std::make_unique<typename TestFixture::Rec>();
    EXPECT_FALSE(this->mgr.DeleteRecord(stranger.get()));
    EXPECT_FALSE(this->mgr.DeleteRecord(nullptr));
    EXPECT_EQ(this->mgr.GetRecordCount(), 3u);
}

TEST(ContactCollection, CopiesTheWholeContactWithItsNote) {
    CommAddrMgr mgr;
    CommAddrRec rec;
    CopyText(rec.FirstName, "Ada");
    rec.Note.Set("a note");
    rec.Custom[9][0] = 'z';
    CommAddrRec* stored = mgr.AddRecord(&rec);
    ASSERT_NE(stored, nullptr);
    rec.Note.Set("changed");
    EXPECT_STREQ(stored->FirstName, "Ada");
    EXPECT_STREQ(stored->Note.c_str(), "a note");
    EXPECT_EQ(stored->Custom[9][0], 'z');
}

} // namespace
