// A fixed row of 64-bit values with the search "first place at or after i
// whose value is above a threshold" and single-value updates, both in
// O(log n): a complete binary tree of maxima over the row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TDupMaxTree {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // count values (at most 2^31), value(i) for each place i.
    template <class ValueOf> void Build(uint32_t count, ValueOf valueOf) {
        m_nLeaves = 1;
        while (m_nLeaves < count)
            m_nLeaves *= 2;
        m_Nodes.assign(2 * static_cast<size_t>(m_nLeaves), 0);
        for (uint32_t i = 0; i < count; ++i)
            m_Nodes[m_nLeaves + i] = valueOf(i);
        for (uint32_t node = m_nLeaves - 1; node > 0; --node)
            m_Nodes[node] = Max(m_Nodes[2 * node], m_Nodes[2 * node + 1]);
    }

    void Set(uint32_t i, uint64_t value) {
        uint32_t node = m_nLeaves + i;
        m_Nodes[node] = value;
        for (node /= 2; node > 0; node /= 2)
            m_Nodes[node] = Max(m_Nodes[2 * node], m_Nodes[2 * node + 1]);
    }

    // The first place at or after from whose value is above threshold; kNone
    // when there is none. Places past the row hold 0, which is above nothing.
    uint32_t FirstAbove(uint32_t from, uint64_t threshold) const {
        if (from >= m_nLeaves)
            return kNone;
        uint32_t node = m_nLeaves + from;
        // Up and right until a subtree right of from holds a value above.
        while (m_Nodes[node] <= threshold) {
            while (node & 1)
                node /= 2; // a right child: its parent's right part is done too
            if (node == 0)
                return kNone;
            ++node;
        }
        // Down to its leftmost leaf above the threshold.
        while (node < m_nLeaves) {
            node *= 2;
            if (m_Nodes[node] <= threshold)
                ++node;
        }
        return node - m_nLeaves;
    }

    size_t Bytes() const { return m_Nodes.capacity() * sizeof(uint64_t); }

private:
    static uint64_t Max(uint64_t a, uint64_t b) { return a < b ? b : a; }

    std::vector<uint64_t> m_Nodes;
    uint32_t m_nLeaves = 0;
};
