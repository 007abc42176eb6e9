// The positions of a group of records by a 32-bit key: for a key and a
// position p, the positions after p of the records with that key, in
// increasing order. Entries are (key, position) pairs sorted by key and then
// position, found through a directory on the key's top bits.
//
// For the matching engine a record at a position may count or not (see
// TDupEngine: a candidate counts when its order value is above the survivor's
// threshold). Large runs of one key keep those values in a TDupMaxTree, built
// at their first search and kept current through Update, so that a search
// skips the records that do not count without looking at them.
#pragma once

#include "DupMaxTree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class TDupKeyIndex {
public:
    static constexpr uint32_t kNone = UINT32_MAX;
    // Runs of one key shorter than this (or absurdly long) are searched entry
    // by entry.
    static constexpr uint32_t kTreeMinRun = 48;
    static constexpr uint32_t kTreeMaxRun = 1u << 30;

    // The entries of one key: [nBegin, nEnd), of which [nFrom, nEnd) lie after
    // the position asked for.
    struct TRun {
        uint32_t nBegin;
        uint32_t nFrom;
        uint32_t nEnd;
    };

    // Indexes count records at positions[0..count) (increasing) with the key
    // keyOf(position). The union mask is kept for the engine's own use.
    template <class KeyOf>
    void Build(const uint32_t* positions, uint32_t count, uint32_t nUnion, KeyOf keyOf);

    uint32_t Union() const { return m_nUnion; }
    uint32_t Count() const { return static_cast<uint32_t>(m_Entries.size()); }
    uint32_t PositionAt(uint32_t i) const { return static_cast<uint32_t>(m_Entries[i]); }

    TRun Find(uint32_t key, uint32_t after) const;

    // Asks memory for what Find(key, ...) will read: the directory slot
    // (first) or, once that has arrived, the entries it points to.
    void ReadAhead(uint32_t key, bool entries) const {
        const uint32_t slot = Slot(key);
        if (!entries)
            __builtin_prefetch(&m_Dir[slot]);
        else if (m_Dir[slot] < m_Entries.size())
            __builtin_prefetch(&m_Entries[m_Dir[slot]]);
    }

    // The first entry i in [from, run.nEnd) whose record's order value
    // (orderOf(position)) is above threshold, or kNone. work grows by what the
    // search cost, in entries looked at.
    template <class OrderOf>
    uint32_t FirstAbove(const TRun& run, uint32_t from, uint64_t threshold, OrderOf orderOf,
                        uint64_t& work);

    // The record at position with the key has a new order value.
    void Update(uint32_t key, uint32_t position, uint64_t order);

    size_t Bytes() const;
    // What Build held besides what the index keeps, while it ran.
    size_t BuildBytes() const { return m_Dir.capacity() * sizeof(uint32_t); }

private:
    static uint64_t Entry(uint32_t key, uint32_t position) {
        return (static_cast<uint64_t>(key) << 32) | position;
    }
    uint32_t Slot(uint32_t key) const {
        return static_cast<uint32_t>(static_cast<uint64_t>(key) >> m_nShift);
    }
    void SortSlots();

    std::vector<uint64_t> m_Entries;
    // m_Dir[s] is the first entry whose key's top bits are s; one more at the end.
    std::vector<uint32_t> m_Dir;
    uint32_t m_nShift = 32;
    uint32_t m_nUnion = 0;
    // By the run's first entry.
    std::unordered_map<uint32_t, TDupMaxTree> m_Trees;
    size_t m_nTreeBytes = 0;
};

template <class KeyOf>
void TDupKeyIndex::Build(const uint32_t* positions, uint32_t count, uint32_t nUnion, KeyOf keyOf) {
    m_nUnion = nUnion;
    uint32_t bits = 0;
    while (bits < 31 && (2u << bits) < count)
        ++bits; // about two entries per directory slot
    m_nShift = 32 - bits;
    m_Dir.assign((size_t(1) << bits) + 1, 0);
    for (uint32_t i = 0; i < count; ++i)
        ++m_Dir[Slot(keyOf(positions[i])) + 1];
    for (size_t s = 1; s < m_Dir.size(); ++s)
        m_Dir[s] += m_Dir[s - 1];
    m_Entries.resize(count);
    // Filled slot by slot in position order; then each slot sorted by key.
    std::vector<uint32_t> fill(m_Dir.begin(), m_Dir.end() - 1);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t key = keyOf(positions[i]);
        m_Entries[fill[Slot(key)]++] = Entry(key, positions[i]);
    }
    SortSlots();
}

template <class OrderOf>
uint32_t TDupKeyIndex::FirstAbove(const TRun& run, uint32_t from, uint64_t threshold,
                                  OrderOf orderOf, uint64_t& work) {
    if (run.nEnd - run.nBegin < kTreeMinRun || run.nEnd - run.nBegin > kTreeMaxRun) {
        for (uint32_t i = from; i < run.nEnd; ++i) {
            ++work;
            if (orderOf(PositionAt(i)) > threshold)
                return i;
        }
        return kNone;
    }
    auto tree = m_Trees.find(run.nBegin);
    if (tree == m_Trees.end()) {
        TDupMaxTree built;
        built.Build(run.nEnd - run.nBegin,
                    [&](uint32_t i) { return orderOf(PositionAt(run.nBegin + i)); });
        work += run.nEnd - run.nBegin;
        m_nTreeBytes += built.Bytes();
        tree = m_Trees.emplace(run.nBegin, std::move(built)).first;
    }
    work += 32;
    const uint32_t i = tree->second.FirstAbove(from - run.nBegin, threshold);
    return (i == TDupMaxTree::kNone || run.nBegin + i >= run.nEnd) ? kNone : run.nBegin + i;
}
