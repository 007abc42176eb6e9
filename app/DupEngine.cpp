#include "DupEngine.h"

#include "DupHash.h"
#include "DupKept.h"
#include "DupKeyIndex.h"
#include "DupKind.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint32_t kNone = UINT32_MAX;
// The pattern of a record with a NaN in a compared number: it equals nothing.
constexpr uint32_t kEqualsNothing = UINT32_MAX;
// The order value of a candidate that always counts.
constexpr uint64_t kAlwaysCounts = UINT64_MAX;

// Work is counted in records looked at by the plain search. The scan would
// have paid for preparing and indexing once it has made this many comparisons
// per record.
constexpr uint64_t kSetupWorkPerRecord = 4;
// One key lookup of the indexed search.
constexpr uint64_t kLookupWork = 4;
// How many records ahead the passes over the records ask for them, so that
// reading a record's members seldom waits for memory; the seeds of the indexed
// search ask for their index entries in two steps of this many seeds.
constexpr uint32_t kReadAhead = 8;
// Up to this many patterns, the index of each (survivor pattern, group) pair
// is kept in a table; beyond, in a hash map.
constexpr uint32_t kPairTablePatterns = 64;
constexpr uint32_t kUndecided = UINT32_MAX - 1;
// Budgets of index entries, per record. A group's own index (keyed on all
// the texts its records have) is always built: together they hold one entry
// per record. Indexes for survivors with other empty texts are built up to
// the first budget; beyond it a survivor's search goes through an anchor
// index (keyed on the most often filled text that it and the group both have)
// up to the second budget; beyond that, the group is searched plainly.
constexpr uint64_t kOtherIndexEntriesPerRecord = 1;
constexpr uint64_t kAnchorEntriesPerRecord = 2;

// A number's place among the numbers, as an unsigned value of 1 or more
// (-0 and 0 share one). Not for NaN.
inline uint64_t TimeOrder(double t) {
    const uint64_t bits = DupNumberBits(t);
    return (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
}

template <class TRec> class TDupEngine {
public:
    TDupEngine(const std::vector<TRec*>& records, CxList& list, TDupPlan plan, TDupRunStats& stats)
        : m_Records(records), m_List(list), m_Plan(plan), m_Stats(stats),
          m_nCount(static_cast<uint32_t>(records.size())) {}
    TDupEngine(const TDupEngine&) = delete;
    TDupEngine& operator=(const TDupEngine&) = delete;

    void Run();

private:
    using Kind = TDupKind<TRec>;
    enum class TMode { Plain, Indexed, PlainForGood };

    void StartIndexing();
    bool Prepare();
    void Release();
    // Notes the memory held now, plus transient bytes held a moment ago.
    void NoteBytes(size_t transient = 0);

    void Group(uint32_t seed);
    void Mark(uint32_t at);
    uint32_t FindNext(uint32_t survivor, uint32_t after);
    uint32_t FindPlain(uint32_t survivor, uint32_t after);
    uint32_t FindIndexed(uint32_t survivor, uint32_t after);
    uint32_t FindInIndex(TDupKeyIndex& index, uint32_t survivor, uint32_t after, uint32_t before);
    uint32_t FindInGroup(uint32_t group, uint32_t survivor, uint32_t after, uint32_t before);

    // Whether comparing the survivor with the candidate can change anything.
    bool Counts(const TRec& survivor, uint32_t candidate) const {
        return !IsMarked(candidate) || !Kind::Prefer(&survivor, m_Records[candidate]);
    }
    // The same as values: the candidate counts when its order value is above
    // the survivor's threshold.
    static uint64_t MarkedOrder(const TRec& r);
    static uint64_t Threshold(const TRec& survivor);
    uint64_t OrderOf(uint32_t at) const {
        return IsMarked(at) ? MarkedOrder(*m_Records[at]) : kAlwaysCounts;
    }
    // mkDuplicate of the record at a position, kept beside the records as well
    // so that a look at it costs no trip to the record.
    bool IsMarked(uint32_t at) const { return (m_Marked[at / 64] >> (at % 64)) & 1; }
    // Asks for the record at a position: its first line, its Flags and the
    // first nTexts compared texts.
    void ReadAhead(uint32_t at, uint32_t nTexts) const;

    uint32_t KeyOf(uint32_t at, uint32_t unionMask) const;
    void ReadSeedAhead(uint32_t seed) const;
    TDupKeyIndex* IndexFor(uint32_t survivorGroup, uint32_t group);
    uint32_t ChooseIndex(uint32_t unionMask, uint32_t group);
    uint32_t BuiltIndex(uint32_t wildcards, uint32_t group, uint64_t& used, uint64_t budget);
    uint32_t GroupCount() const { return static_cast<uint32_t>(m_PatternMask.size()); }

    const std::vector<TRec*>& m_Records;
    CxList& m_List;
    const TDupPlan m_Plan;
    TDupRunStats& m_Stats;
    const uint32_t m_nCount;
    TMode m_Mode = TMode::Plain;
    uint64_t m_nWork = 0;
    uint64_t m_nScanWork = 0;
    std::vector<uint64_t> m_Marked;
    TDupGroupMarks<TRec> m_GroupMarks;

    // Built by Prepare for the indexed search, freed by Release.
    TDupRules<TRec> m_Rules;
    uint32_t m_nAllTexts = 0;            // a bit per compared text
    std::vector<uint32_t> m_TextHash;    // per record, one per compared text
    std::vector<uint32_t> m_FixedHash;   // per record
    std::vector<uint32_t> m_Pattern;     // per record: its group, or kEqualsNothing
    std::vector<uint32_t> m_PatternMask; // per group: the empty texts of its records
    std::vector<uint32_t> m_GroupStart;  // per group, into m_GroupPos; one more at the end
    std::vector<uint32_t> m_GroupPos;    // the positions of each group, increasing
    std::vector<uint32_t> m_AnchorOrder; // the compared texts, most often filled first
    // (survivor pattern, group) -> the index its searches use (a place in
    // m_Indexes), kNone when the group is searched plainly, or kUndecided:
    // in m_PairTable when there are few patterns, else in m_PairMap.
    std::vector<uint32_t> m_PairTable;
    std::unordered_map<uint64_t, uint32_t> m_PairMap;
    // (wildcard mask, group) -> place in m_Indexes.
    std::unordered_map<uint64_t, uint32_t> m_Built;
    std::vector<std::unique_ptr<TDupKeyIndex>> m_Indexes;
    std::vector<std::vector<uint32_t>> m_IndexesOfGroup;
    uint64_t m_nOwnEntries = 0;
    uint64_t m_nOtherEntries = 0;
    uint64_t m_nAnchorEntries = 0;
};

template <class TRec> uint64_t TDupEngine<TRec>::MarkedOrder(const TRec& r) {
    if constexpr (!Kind::kHasTime) {
        return 1; // never preferred to the survivor
    } else {
        const double t = Kind::Time(r);
        return std::isnan(t) ? kAlwaysCounts : TimeOrder(t);
    }
}

template <class TRec> uint64_t TDupEngine<TRec>::Threshold(const TRec& survivor) {
    if constexpr (!Kind::kHasTime) {
        return 1;
    } else {
        const double t = Kind::Time(survivor);
        return std::isnan(t) ? 0 : TimeOrder(t); // a NaN survivor is preferred to nothing
    }
}

template <class TRec> void TDupEngine<TRec>::ReadAhead(uint32_t at, uint32_t nTexts) const {
    if (at >= m_nCount)
        return;
    const TRec& r = *m_Records[at];
    __builtin_prefetch(&r);
    __builtin_prefetch(&r.Flags);
    for (uint32_t t = 0; t < nTexts && t < m_Rules.nTexts; ++t)
        __builtin_prefetch(m_Rules.texts[t](r));
}

template <class TRec> void TDupEngine<TRec>::Run() {
    m_Stats.nRecords = m_nCount;
    m_Marked.assign((static_cast<size_t>(m_nCount) + 63) / 64, 0);
    Kind::GetRules(AppSettings, m_Rules);
    if (m_Plan == TDupPlan::Indexed)
        StartIndexing();
    for (uint32_t seed = 0; seed < m_nCount; ++seed) {
        if (IsMarked(seed))
            continue;
        m_nScanWork += m_nCount - 1 - seed;
        if (m_Mode == TMode::Plain && m_Plan == TDupPlan::Auto &&
            m_nScanWork >= kSetupWorkPerRecord * m_nCount)
            StartIndexing();
        if (m_Mode == TMode::Indexed) {
            ReadSeedAhead(seed);
            if (m_Pattern[seed] == kEqualsNothing)
                continue;
        }
        Group(seed);
    }
    // The marked records by position: an array, not the list's nodes.
    for (size_t word = 0; word < m_Marked.size(); ++word)
        for (uint64_t bits = m_Marked[word]; bits; bits &= bits - 1)
            SettleKeptRecord(m_Records[word * 64 + static_cast<size_t>(std::countr_zero(bits))]);
    m_Stats.nWork = m_nWork;
    m_Stats.nScanWork = m_nScanWork;
    Release();
}

template <class TRec> void TDupEngine<TRec>::StartIndexing() {
    if (Prepare()) {
        m_Mode = TMode::Indexed;
        m_Stats.bIndexed = true;
    } else {
        Release();
        m_Mode = TMode::PlainForGood;
    }
}

template <class TRec> void TDupEngine<TRec>::Group(uint32_t seed) {
    uint32_t survivor = seed;
    for (uint32_t after = seed;;) {
        const uint32_t q = FindNext(survivor, after);
        if (q == kNone) {
            m_GroupMarks.Close(m_Records[survivor]);
            return;
        }
        if (Kind::Prefer(m_Records[survivor], m_Records[q])) {
            Mark(q);
        } else {
            Mark(survivor);
            survivor = q;
        }
        after = q;
    }
}

template <class TRec> void TDupEngine<TRec>::Mark(uint32_t at) {
    if (IsMarked(at))
        return;
    TRec& r = *m_Records[at];
    r.Flags |= mkDuplicate;
    m_Marked[at / 64] |= uint64_t(1) << (at % 64);
    m_List.Add(&r);
    m_GroupMarks.Add(&r);
    if (m_Mode != TMode::Indexed || m_Pattern[at] == kEqualsNothing)
        return;
    const uint64_t order = MarkedOrder(r);
    if (order == kAlwaysCounts)
        return;
    for (uint32_t slot : m_IndexesOfGroup[m_Pattern[at]]) {
        TDupKeyIndex& index = *m_Indexes[slot];
        index.Update(KeyOf(at, index.Union()), at, order);
    }
}

template <class TRec> uint32_t TDupEngine<TRec>::FindNext(uint32_t survivor, uint32_t after) {
    if (m_Mode == TMode::Indexed && m_Plan == TDupPlan::Auto && m_nWork > m_nScanWork + m_nCount) {
        m_Stats.bBackToPlain = true;
        Release();
        m_Mode = TMode::PlainForGood;
    }
    if (m_Mode == TMode::Indexed) {
        ++m_Stats.nIndexedSearches;
        return FindIndexed(survivor, after);
    }
    ++m_Stats.nPlainSearches;
    return FindPlain(survivor, after);
}

template <class TRec> uint32_t TDupEngine<TRec>::FindPlain(uint32_t survivor, uint32_t after) {
    const TRec* v = m_Records[survivor];
    for (uint32_t at = after + 1; at < m_nCount; ++at) {
        ++m_nWork;
        ReadAhead(at + kReadAhead, 1); // most comparisons end at the first text
        if (Counts(*v, at) && Kind::IsSame(v, m_Records[at]))
            return at;
    }
    return kNone;
}

template <class TRec> uint32_t TDupEngine<TRec>::FindIndexed(uint32_t survivor, uint32_t after) {
    const uint32_t survivorGroup = m_Pattern[survivor];
    uint32_t best = kNone;
    for (uint32_t group = 0; group < GroupCount(); ++group) {
        const uint32_t first = m_GroupPos[m_GroupStart[group]];
        const uint32_t last = m_GroupPos[m_GroupStart[group + 1] - 1];
        if (last <= after || first >= best)
            continue;
        m_nWork += kLookupWork;
        TDupKeyIndex* index = IndexFor(survivorGroup, group);
        const uint32_t found = index ? FindInIndex(*index, survivor, after, best)
                                     : FindInGroup(group, survivor, after, best);
        best = std::min(best, found);
    }
    return best;
}

template <class TRec>
uint32_t TDupEngine<TRec>::FindInIndex(TDupKeyIndex& index, uint32_t survivor, uint32_t after,
                                       uint32_t before) {
    const TDupKeyIndex::TRun run = index.Find(KeyOf(survivor, index.Union()), after);
    if (run.nFrom == run.nEnd)
        return kNone; // the common case: no record after it with its key
    const TRec* v = m_Records[survivor];
    const uint64_t threshold = Threshold(*v);
    for (uint32_t from = run.nFrom; from < run.nEnd;) {
        const uint32_t i = index.FirstAbove(
            run, from, threshold, [this](uint32_t at) { return OrderOf(at); }, m_nWork);
        if (i == TDupKeyIndex::kNone)
            return kNone;
        const uint32_t at = index.PositionAt(i);
        if (at >= before)
            return kNone;
        ++m_nWork;
        if (Kind::IsSame(v, m_Records[at]))
            return at;
        from = i + 1; // the hash matched, the members did not
    }
    return kNone;
}

template <class TRec>
uint32_t TDupEngine<TRec>::FindInGroup(uint32_t group, uint32_t survivor, uint32_t after,
                                       uint32_t before) {
    const TRec* v = m_Records[survivor];
    const uint32_t* first = m_GroupPos.data() + m_GroupStart[group];
    const uint32_t* last = m_GroupPos.data() + m_GroupStart[group + 1];
    for (const uint32_t* at = std::upper_bound(first, last, after); at != last && *at < before;
         ++at) {
        ++m_nWork;
        if (Counts(*v, *at) && Kind::IsSame(v, m_Records[*at]))
            return *at;
    }
    return kNone;
}

template <class TRec> uint32_t TDupEngine<TRec>::KeyOf(uint32_t at, uint32_t unionMask) const {
    uint64_t h = m_FixedHash[at];
    const uint32_t* hashes = m_TextHash.data() + static_cast<size_t>(at) * m_Rules.nTexts;
    for (uint32_t bits = m_nAllTexts & ~unionMask; bits; bits &= bits - 1) {
        const uint32_t text = static_cast<uint32_t>(std::countr_zero(bits));
        h += DupMix((static_cast<uint64_t>(text + 1) << 32) | hashes[text]);
    }
    return static_cast<uint32_t>(DupMix(h) >> 32);
}

template <class TRec>
TDupKeyIndex* TDupEngine<TRec>::IndexFor(uint32_t survivorGroup, uint32_t group) {
    const bool inTable = !m_PairTable.empty();
    uint32_t* known = nullptr;
    if (inTable) {
        known = &m_PairTable[survivorGroup * GroupCount() + group];
    } else {
        auto found = m_PairMap.find((static_cast<uint64_t>(survivorGroup) << 32) | group);
        if (found != m_PairMap.end())
            known = &found->second;
    }
    uint32_t slot = known ? *known : kUndecided;
    if (slot == kUndecided) {
        try {
            slot = ChooseIndex(m_PatternMask[survivorGroup] | m_PatternMask[group], group);
            if (inTable)
                *known = slot;
            else
                m_PairMap.emplace((static_cast<uint64_t>(survivorGroup) << 32) | group, slot);
        } catch (const std::bad_alloc&) {
            slot = kNone; // searched plainly this time, tried again next time
        }
    }
    return slot == kNone ? nullptr : m_Indexes[slot].get();
}

// While the seeds before it are searched, memory brings what the search of a
// later seed will read: the directory slots of its keys two steps ahead, their
// entries one step ahead. Only indexes already chosen are asked.
template <class TRec> void TDupEngine<TRec>::ReadSeedAhead(uint32_t seed) const {
    if (m_PairTable.empty())
        return;
    for (uint32_t step = 1; step <= 2; ++step) {
        const uint32_t at = seed + step * kReadAhead;
        if (at >= m_nCount || IsMarked(at) || m_Pattern[at] == kEqualsNothing)
            continue;
        const uint32_t* pairs = &m_PairTable[m_Pattern[at] * GroupCount()];
        for (uint32_t group = 0; group < GroupCount(); ++group) {
            const uint32_t slot = pairs[group];
            if (slot >= kUndecided || m_GroupPos[m_GroupStart[group + 1] - 1] <= at)
                continue;
            const TDupKeyIndex& index = *m_Indexes[slot];
            index.ReadAhead(KeyOf(at, index.Union()), step == 1);
        }
    }
}

// Any index of the group keyed on fewer texts than the union leaves is
// usable: it finds every match among its candidates, and the full comparison
// sorts out the rest. The exact one is best; the anchor one is bounded.
template <class TRec> uint32_t TDupEngine<TRec>::ChooseIndex(uint32_t unionMask, uint32_t group) {
    const uint32_t exact =
        unionMask == m_PatternMask[group]
            ? BuiltIndex(unionMask, group, m_nOwnEntries, UINT64_MAX)
            : BuiltIndex(unionMask, group, m_nOtherEntries, kOtherIndexEntriesPerRecord * m_nCount);
    if (exact != kNone)
        return exact;
    for (uint32_t text : m_AnchorOrder) {
        if (unionMask & (1u << text))
            continue; // empty in the survivor or in the group
        const uint32_t anchor = BuiltIndex(m_nAllTexts & ~(1u << text), group, m_nAnchorEntries,
                                           kAnchorEntriesPerRecord * m_nCount);
        if (anchor != kNone)
            return anchor;
    }
    return kNone;
}

// The index of the group keyed on the texts outside wildcards: the one built
// before, or a new one when used + its size stays within budget (used grows).
template <class TRec>
uint32_t TDupEngine<TRec>::BuiltIndex(uint32_t wildcards, uint32_t group, uint64_t& used,
                                      uint64_t budget) {
    const uint64_t id = (static_cast<uint64_t>(wildcards) << 32) | group;
    auto known = m_Built.find(id);
    if (known != m_Built.end())
        return known->second;
    const uint32_t size = m_GroupStart[group + 1] - m_GroupStart[group];
    if (used + size > budget)
        return kNone;
    auto index = std::make_unique<TDupKeyIndex>();
    index->Build(m_GroupPos.data() + m_GroupStart[group], size, wildcards,
                 [this, wildcards](uint32_t at) { return KeyOf(at, wildcards); });
    m_IndexesOfGroup[group].reserve(m_IndexesOfGroup[group].size() + 1);
    m_Indexes.reserve(m_Indexes.size() + 1);
    m_Built.reserve(m_Built.size() + 1);
    m_Indexes.push_back(std::move(index));
    const uint32_t slot = static_cast<uint32_t>(m_Indexes.size() - 1);
    m_IndexesOfGroup[group].push_back(slot);
    m_Built[id] = slot;
    used += size;
    ++m_Stats.nIndexes;
    NoteBytes(m_Indexes[slot]->BuildBytes());
    return slot;
}

template <class TRec> bool TDupEngine<TRec>::Prepare() {
    try {
        const TAppSettings& s = AppSettings;
        const uint32_t nTexts = m_Rules.nTexts;
        m_nAllTexts = nTexts >= 32 ? ~0u : (1u << nTexts) - 1;
        const bool fold = !s.CaseSensitive;
        const bool emptyIsWildcard = !s.CompareEmpty;
        m_TextHash.resize(static_cast<size_t>(m_nCount) * nTexts);
        m_FixedHash.resize(m_nCount);
        m_Pattern.resize(m_nCount);

        std::unordered_map<uint32_t, uint32_t> groupOf;
        std::vector<uint32_t> groupSize;
        uint32_t lastMask = 0, lastGroup = kNone;
        for (uint32_t at = 0; at < m_nCount; ++at) {
            ReadAhead(at + kReadAhead, m_Rules.nTexts);
            const TRec& r = *m_Records[at];
            uint64_t fixed = 0;
            if (!Kind::FixedHash(s, r, fixed)) {
                m_Pattern[at] = kEqualsNothing;
                continue;
            }
            m_FixedHash[at] = static_cast<uint32_t>(DupMix(fixed) >> 32);
            uint32_t* hashes = m_TextHash.data() + static_cast<size_t>(at) * nTexts;
            uint32_t mask = 0;
            for (uint32_t t = 0; t < nTexts; ++t) {
                const char* text = m_Rules.texts[t](r);
                if (emptyIsWildcard && text[0] == '\0') {
                    mask |= 1u << t;
                    hashes[t] = 0;
                } else {
                    hashes[t] = DupHashText(text, fold);
                }
            }
            if (lastGroup == kNone || mask != lastMask) {
                auto found = groupOf.emplace(mask, static_cast<uint32_t>(m_PatternMask.size()));
                if (found.second) {
                    m_PatternMask.push_back(mask);
                    groupSize.push_back(0);
                }
                lastMask = mask;
                lastGroup = found.first->second;
            }
            m_Pattern[at] = lastGroup;
            ++groupSize[lastGroup];
        }

        m_GroupStart.assign(GroupCount() + 1, 0);
        for (uint32_t g = 0; g < GroupCount(); ++g)
            m_GroupStart[g + 1] = m_GroupStart[g] + groupSize[g];
        m_GroupPos.resize(m_GroupStart.back());
        // From the last record back, so that each group ends up in increasing order.
        for (uint32_t at = m_nCount; at-- > 0;)
            if (m_Pattern[at] != kEqualsNothing)
                m_GroupPos[m_GroupStart[m_Pattern[at]] + --groupSize[m_Pattern[at]]] = at;
        m_IndexesOfGroup.resize(GroupCount());
        m_Stats.nPatterns = GroupCount();
        if (GroupCount() <= kPairTablePatterns)
            m_PairTable.assign(GroupCount() * GroupCount(), kUndecided);

        std::vector<uint64_t> filled(nTexts, 0);
        for (uint32_t g = 0; g < GroupCount(); ++g)
            for (uint32_t t = 0; t < nTexts; ++t)
                if (!(m_PatternMask[g] & (1u << t)))
                    filled[t] += m_GroupStart[g + 1] - m_GroupStart[g];
        m_AnchorOrder.resize(nTexts);
        for (uint32_t t = 0; t < nTexts; ++t)
            m_AnchorOrder[t] = t;
        std::stable_sort(m_AnchorOrder.begin(), m_AnchorOrder.end(),
                         [&](uint32_t a, uint32_t b) { return filled[a] > filled[b]; });
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

template <class TRec> void TDupEngine<TRec>::NoteBytes(size_t transient) {
    size_t bytes = m_Records.capacity() * sizeof(TRec*) + m_Marked.capacity() * sizeof(uint64_t) +
                   (m_TextHash.capacity() + m_FixedHash.capacity() + m_Pattern.capacity() +
                    m_PatternMask.capacity() + m_GroupStart.capacity() + m_GroupPos.capacity()) *
                       sizeof(uint32_t) +
                   m_PairTable.capacity() * sizeof(uint32_t) +
                   (m_PairMap.size() + m_Built.size()) * 32 +
                   m_IndexesOfGroup.size() * sizeof(std::vector<uint32_t>);
    for (const auto& index : m_Indexes)
        bytes += sizeof(TDupKeyIndex) + index->Bytes();
    m_Stats.nPeakBytes = std::max(m_Stats.nPeakBytes, bytes + transient);
}

template <class TRec> void TDupEngine<TRec>::Release() {
    // Everything only grows until now, so this is the most that was held.
    NoteBytes();
    m_Indexes.clear();
    m_Indexes.shrink_to_fit();
    std::unordered_map<uint64_t, uint32_t>().swap(m_PairMap);
    std::unordered_map<uint64_t, uint32_t>().swap(m_Built);
    std::vector<std::vector<uint32_t>>().swap(m_IndexesOfGroup);
    for (std::vector<uint32_t>* v : {&m_TextHash, &m_FixedHash, &m_Pattern, &m_PatternMask,
                                     &m_GroupStart, &m_GroupPos, &m_AnchorOrder, &m_PairTable})
        std::vector<uint32_t>().swap(*v);
}

template <class TRec> bool FindDupsWith(TDupPlan plan, TDupRunStats* stats) {
    using Kind = TDupKind<TRec>;
    CxList* list = Kind::DupList();
    auto* util = Kind::Util();
    if (!util || !list)
        return false;
    TDupRunStats own;
    TDupRunStats& out = stats ? *stats : own;
    out = TDupRunStats();
    list->RemoveAll(false);
    try {
        std::vector<TRec*> records;
        if (const auto* collection = util->GetCollection())
            records.reserve(collection->GetRecordCount());
        for (TRec* r = Kind::First(); r; r = Kind::Next()) {
            r->Flags &= ~kDupRunFlags;
            r->KeptRecord = nullptr;
            records.push_back(r);
        }
        TDupEngine<TRec>(records, *list, plan, out).Run();
        return true;
    } catch (const std::bad_alloc&) {
        // Too little memory even for the engine's own list of records.
        out.bScanned = true;
        return Kind::Scan();
    }
}

} // namespace

bool FindAddrDupsWith(TDupPlan plan, TDupRunStats* stats) {
    return FindDupsWith<SFAddrRec>(plan, stats);
}
bool FindDateDupsWith(TDupPlan plan, TDupRunStats* stats) {
    return FindDupsWith<SFDateRec>(plan, stats);
}
bool FindTaskDupsWith(TDupPlan plan, TDupRunStats* stats) {
    return FindDupsWith<SFTaskRec>(plan, stats);
}
bool FindNoteDupsWith(TDupPlan plan, TDupRunStats* stats) {
    return FindDupsWith<SFNoteRec>(plan, stats);
}
