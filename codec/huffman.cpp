// Length-limited Huffman code lengths, in steps: the coded symbols sorted by count, the
// minimum-redundancy tree over them (Moffat and Katajainen's in-place method, which needs no
// heap and no node structures), its depths limited to the longest code allowed, and the
// lengths handed back to the symbols.
#include "codec/huffman.h"

#include <algorithm>
#include <cstring>

namespace {

// Depths counted one by one; a deeper leaf (possible only for alphabets far beyond deflate's)
// is counted here, and moved to the limit with the others anyway.
constexpr uint32_t kDeepestCounted = 63;

// The coded symbols, rarest first and ties by symbol, into order, with their counts ascending
// into weight; returns how many. Fewer than two used symbols are made two by giving the first
// unused ones a count of 1.
int SortSymbols(const uint32_t* freq, int n, uint32_t* order, uint32_t* weight) {
    int used = 0;
    for (int i = 0; i < n; ++i) used += freq[i] != 0;
    int missing = std::max(0, 2 - used);
    // Count above symbol in one key: sorting the keys sorts by count, then by symbol.
    uint64_t key[kHuffmanMaxSymbols];
    int m = 0;
    for (int i = 0; i < n; ++i) {
        uint32_t f = freq[i];
        if (f == 0 && missing > 0) {
            f = 1;
            --missing;
        }
        if (f != 0) key[m++] = static_cast<uint64_t>(f) << 16 | static_cast<uint32_t>(i);
    }
    std::sort(key, key + m);
    for (int i = 0; i < m; ++i) {
        order[i] = static_cast<uint32_t>(key[i] & 0xFFFF);
        weight[i] = static_cast<uint32_t>(key[i] >> 16);
    }
    return m;
}

// The tree's first pass over the m >= 2 ascending weights: leaves are taken from the front of
// the array, internal nodes are formed in place behind them, and each internal node consumed
// by a later one is replaced by the index of its parent.
void LinkParents(uint32_t* weight, int m) {
    weight[0] += weight[1];
    int root = 0;
    int leaf = 2;
    for (int next = 1; next < m - 1; ++next) {
        if (leaf >= m || weight[root] < weight[leaf]) {
            weight[next] = weight[root];
            weight[root++] = static_cast<uint32_t>(next);
        } else {
            weight[next] = weight[leaf++];
        }
        if (leaf >= m || (root < next && weight[root] < weight[leaf])) {
            weight[next] += weight[root];
            weight[root++] = static_cast<uint32_t>(next);
        } else {
            weight[next] += weight[leaf++];
        }
    }
}

// The second and third passes: the parent links become internal node depths (the root, the
// last node, at depth 0), then the leaf depths are laid out, deepest first, from the count of
// internal nodes at each depth. Afterwards weight[i] is the depth of the leaf of rank i, the
// rarest (rank 0) deepest.
void LeafDepths(uint32_t* weight, int m) {
    weight[m - 2] = 0;
    for (int next = m - 3; next >= 0; --next) weight[next] = weight[weight[next]] + 1;
    int available = 1;
    int usedNodes = 0;
    uint32_t depth = 0;
    int root = m - 2;
    int next = m - 1;
    while (available > 0) {
        while (root >= 0 && weight[root] == depth) {
            ++usedNodes;
            --root;
        }
        while (available > usedNodes) {
            weight[next--] = depth;
            --available;
        }
        available = 2 * usedNodes;
        ++depth;
        usedNodes = 0;
    }
}

// The number of codes of each length (count[1..maxBits]) for the m leaf depths, none longer
// than maxBits: the deeper leaves are moved up to the limit, which overfills the code, and
// then each round takes one code off the deepest level and splits the deepest shallower leaf
// into two, which lowers the Kraft sum by one unit of 2^-maxBits, until it is exactly 1 again.
void LimitLengths(const uint32_t* depth, int m, int maxBits, uint32_t* count) {
    for (int i = 0; i < m; ++i) ++count[std::min(depth[i], kDeepestCounted)];
    for (uint32_t bits = static_cast<uint32_t>(maxBits) + 1; bits <= kDeepestCounted; ++bits) {
        count[maxBits] += count[bits];
        count[bits] = 0;
    }
    uint64_t kraft = 0;
    for (int bits = 1; bits <= maxBits; ++bits) {
        kraft += static_cast<uint64_t>(count[bits]) << (maxBits - bits);
    }
    while (kraft > (uint64_t{1} << maxBits)) {
        --count[maxBits];
        for (int bits = maxBits - 1; bits > 0; --bits) {
            if (count[bits] != 0) {
                --count[bits];
                count[bits + 1] += 2;
                break;
            }
        }
        --kraft;
    }
}

// The lengths back to the symbols: the longest to the rarest, in the order of order.
void AssignLengths(const uint32_t* order, const uint32_t* count, int n, int maxBits,
                   uint8_t* lengths) {
    std::memset(lengths, 0, static_cast<size_t>(n));
    int i = 0;
    for (int bits = maxBits; bits >= 1; --bits) {
        for (uint32_t k = 0; k < count[bits]; ++k) lengths[order[i++]] = static_cast<uint8_t>(bits);
    }
}

}  // namespace

void BuildCodeLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths) {
    uint32_t order[kHuffmanMaxSymbols];
    uint32_t weight[kHuffmanMaxSymbols] = {};  // (m >= 2 always; this keeps the compiler sure)
    const int m = SortSymbols(freq, n, order, weight);
    LinkParents(weight, m);
    LeafDepths(weight, m);
    uint32_t count[kDeepestCounted + 1] = {};
    LimitLengths(weight, m, maxBits, count);
    AssignLengths(order, count, n, maxBits, lengths);
}
