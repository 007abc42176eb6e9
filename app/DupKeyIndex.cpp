#include "DupKeyIndex.h"

void TDupKeyIndex::SortSlots() {
    for (size_t s = 0; s + 1 < m_Dir.size(); ++s) {
        auto first = m_Entries.begin() + m_Dir[s];
        auto last = m_Entries.begin() + m_Dir[s + 1];
        // Mostly one or two entries, or one key's run already in position order.
        if (!std::is_sorted(first, last))
            std::sort(first, last);
    }
}

TDupKeyIndex::TRun TDupKeyIndex::Find(uint32_t key, uint32_t after) const {
    if (m_Entries.empty())
        return {0, 0, 0};
    const uint32_t slot = Slot(key);
    const auto first = m_Entries.begin() + m_Dir[slot];
    const auto last = m_Entries.begin() + m_Dir[slot + 1];
    const auto begin = std::lower_bound(first, last, Entry(key, 0));
    const auto end = std::upper_bound(begin, last, Entry(key, UINT32_MAX));
    const auto from =
        after == UINT32_MAX ? end : std::lower_bound(begin, end, Entry(key, after + 1));
    return {static_cast<uint32_t>(begin - m_Entries.begin()),
            static_cast<uint32_t>(from - m_Entries.begin()),
            static_cast<uint32_t>(end - m_Entries.begin())};
}

void TDupKeyIndex::Update(uint32_t key, uint32_t position, uint64_t order) {
    if (m_Trees.empty())
        return;
    const TRun run = Find(key, UINT32_MAX);
    if (run.nEnd - run.nBegin < kTreeMinRun || run.nEnd - run.nBegin > kTreeMaxRun)
        return;
    auto tree = m_Trees.find(run.nBegin);
    if (tree == m_Trees.end())
        return;
    const auto at = std::lower_bound(m_Entries.begin() + run.nBegin, m_Entries.begin() + run.nEnd,
                                     Entry(key, position));
    if (at == m_Entries.begin() + run.nEnd || *at != Entry(key, position))
        return;
    tree->second.Set(static_cast<uint32_t>(at - m_Entries.begin()) - run.nBegin, order);
}

size_t TDupKeyIndex::Bytes() const {
    return m_Entries.capacity() * sizeof(uint64_t) + m_Dir.capacity() * sizeof(uint32_t) +
           m_nTreeBytes + m_Trees.size() * 64;
}
