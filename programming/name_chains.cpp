#include "programming/name_chains.h"

#include <algorithm>
#include <vector>

#include "programming/data_image.h"
#include "programming/digit_fields.h"
#include "programming/number_index.h"

namespace qzs {
namespace {

// --- Links ---

// (previous, next) pairs, one per node from node 0: 16-bit words for the speed-dial chains,
// bytes for the code chains. Node 0 is never linked; a link value of 0 means none.
class LinkTable {
  public:
    LinkTable(std::span<std::uint8_t> bytes, std::size_t width, std::size_t max_node)
        : bytes_(bytes), width_(width), max_node_(max_node) {}

    std::size_t MaxNode() const { return max_node_; }
    bool InRange(unsigned node) const { return node >= 1 && node <= max_node_; }

    unsigned Prev(unsigned n) const { return Read(2 * width_ * n); }
    unsigned Next(unsigned n) const { return Read(2 * width_ * n + width_); }
    bool Linked(unsigned n) const { return Prev(n) != 0 || Next(n) != 0; }

    void MakeAlone(unsigned n) { Set(n, n, n); }
    // Links n in front of x (which is linked).
    void InsertBefore(unsigned n, unsigned x) {
        const unsigned p = Prev(x);
        Set(n, p, x);
        Write(2 * width_ * p + width_, n);
        Write(2 * width_ * x, n);
    }
    // Joins n's neighbours and clears n's links.
    void Unlink(unsigned n) {
        const unsigned p = Prev(n);
        const unsigned x = Next(n);
        if (x != n && InRange(p) && InRange(x)) {
            Write(2 * width_ * p + width_, x);
            Write(2 * width_ * x, p);
        }
        Set(n, 0, 0);
    }
    void ClearAll() { std::fill(bytes_.begin(), bytes_.end(), 0); }

  private:
    unsigned Read(std::size_t offset) const {
        if (width_ == 2) return GetWordField(bytes_.subspan(offset).first<2>());
        return bytes_[offset];
    }
    void Write(std::size_t offset, unsigned value) {
        if (width_ == 2) {
            SetWordField(static_cast<std::uint16_t>(value), bytes_.subspan(offset).first<2>());
        } else {
            bytes_[offset] = static_cast<std::uint8_t>(value);
        }
    }
    void Set(unsigned n, unsigned prev, unsigned next) {
        Write(2 * width_ * n, prev);
        Write(2 * width_ * n + width_, next);
    }

    std::span<std::uint8_t> bytes_;
    std::size_t width_;
    std::size_t max_node_;
};

// Which cycle each node was found on (0: none), for the chains that share one link table.
using Membership = std::vector<std::uint8_t>;

// Walks the closed cycle through start, marking its nodes with the tag and listing them in
// order. False when a link leaves the range or disagrees with its neighbour's, when a node is met
// twice or already belongs to another cycle, or when the walk has not closed after as many steps
// as there are nodes.
bool WalkCycle(const LinkTable& links, unsigned start, Membership& member, std::uint8_t tag,
               std::vector<unsigned>& order) {
    order.clear();
    if (!links.InRange(start)) return false;
    unsigned node = start;
    for (std::size_t step = 0; step < links.MaxNode(); ++step) {
        if (member[node] != 0) return false;
        member[node] = tag;
        order.push_back(node);
        const unsigned next = links.Next(node);
        if (!links.InRange(next) || links.Prev(next) != node) return false;
        if (next == start) return true;
        node = next;
    }
    return false;
}

// Every node with a link lies on one of the cycles walked.
bool NoStrayLinks(const LinkTable& links, const Membership& member) {
    for (unsigned n = 1; n <= links.MaxNode(); ++n) {
        if (member[n] == 0 && links.Linked(n)) return false;
    }
    return true;
}

// --- Speed-dial chains ---

std::span<std::uint8_t> Words(std::span<std::uint8_t> block, std::size_t first_word,
                              std::size_t count) {
    return block.subspan(2 * first_word, 2 * count);
}

unsigned WordAt(std::span<const std::uint8_t> words, std::size_t i) {
    return GetWordField(words.subspan(2 * i).first<2>());
}

void SetWordAt(std::span<std::uint8_t> words, std::size_t i, unsigned value) {
    SetWordField(static_cast<std::uint16_t>(value), words.subspan(2 * i).first<2>());
}

// One sorted chain: its links, its 19 class heads with the count after them, and the word that
// names its first node.
struct SpeedDialChain {
    LinkTable links;
    std::span<std::uint8_t> heads;  // 20 words
    std::span<std::uint8_t> first;  // 1 word

    unsigned Head(std::size_t k) const { return WordAt(heads, k); }
    void SetHead(std::size_t k, unsigned n) { SetWordAt(heads, k, n); }
    unsigned Count() const { return WordAt(heads, kCountWord); }
    void SetCount(unsigned count) { SetWordAt(heads, kCountWord, count); }
    unsigned First() const { return WordAt(first, 0); }
    void SetFirst(unsigned n) { SetWordAt(first, 0, n); }
    unsigned LowestHead() const {
        for (std::size_t k = 0; k < kNameClassCount; ++k) {
            if (Head(k) != 0) return Head(k);
        }
        return 0;
    }
};

LinkTable SpeedDialLinks(DataImage& image, std::size_t offset) {
    return {image.Block(kSpeedDialLinkBlock).subspan(offset, kGroupLinkOffset), 2,
            kMaxSpeedDialNode};
}

SpeedDialChain AllNamesChain(DataImage& image) {
    return {SpeedDialLinks(image, 0), Words(image.Block(kSpeedDialClassHeadBlock), 0, 20),
            Words(image.Block(kSpeedDialFirstNodeBlock), 0, 1)};
}

SpeedDialChain GroupChain(DataImage& image, std::size_t group) {
    return {SpeedDialLinks(image, kGroupLinkOffset),
            Words(image.Block(kSpeedDialGroupHeadBlock), 20 * group, 20),
            Words(image.Block(kSpeedDialFirstNodeBlock), group, 1)};
}

std::span<const std::uint8_t> KanaName(const DataImage& image, unsigned node) {
    return SpeedDialRow(image, node - 1).subspan(kSpeedDialKanaByte, kSpeedDialNameBytes);
}

bool KanaNameEmpty(const DataImage& image, unsigned node) {
    return KanaName(image, node)[0] == 0;
}

unsigned GroupOfNode(const DataImage& image, unsigned node) {
    return SpeedDialRow(image, node - 1)[kSpeedDialGroupByte] & 0x0F;
}

bool IsChainedGroup(unsigned group) {
    return group >= 1 && group < kSpeedDialGroupCount;
}

// The chain is one closed cycle from its lowest head; each class head names the first node of
// its class along it; the first-node word names the lowest head and the count is the cycle's
// length. The row being relinked may already carry its new name, so its own class is not looked
// at: a head may still name it (its removal passes the head on), and the other heads are found
// without it.
bool CheckSpeedDialChain(const DataImage& image, const SpeedDialChain& chain, Membership& member,
                         std::uint8_t tag, unsigned relinked) {
    const unsigned lowest = chain.LowestHead();
    if (lowest == 0) return chain.First() == 0 && chain.Count() == 0;
    std::vector<unsigned> order;
    if (!WalkCycle(chain.links, lowest, member, tag, order)) return false;
    std::array<unsigned, kNameClassCount> first_of_class{};
    for (unsigned n : order) {
        if (n == relinked) continue;
        unsigned& first = first_of_class[NameClass(KanaName(image, n)[0])];
        if (first == 0) first = n;
    }
    for (std::size_t k = 0; k < kNameClassCount; ++k) {
        const unsigned h = chain.Head(k);
        const bool passed_on = h != 0 && h == relinked && member[h] == tag;
        if (!passed_on && h != first_of_class[k]) return false;
    }
    return chain.First() == lowest && chain.Count() == order.size();
}

bool CheckAllNames(DataImage& image, unsigned relinked) {
    SpeedDialChain all = AllNamesChain(image);
    Membership member(kMaxSpeedDialNode + 1, 0);
    return CheckSpeedDialChain(image, all, member, 1, relinked) && NoStrayLinks(all.links, member);
}

// Fills member with the group each node is chained in.
bool CheckGroups(DataImage& image, Membership& member, unsigned relinked) {
    member.assign(kMaxSpeedDialNode + 1, 0);
    for (std::size_t g = 1; g < kSpeedDialGroupCount; ++g) {
        if (!CheckSpeedDialChain(image, GroupChain(image, g), member, static_cast<std::uint8_t>(g),
                                 relinked)) {
            return false;
        }
    }
    return NoStrayLinks(SpeedDialLinks(image, kGroupLinkOffset), member);
}

// Links n at its place by kana name. The walk starts at the head of n's class and ends where it
// comes round to the chain's first node again; it never takes more steps than there are nodes.
// The first-node word then names the lowest head, as after every change of the chain.
void InsertSpeedDialNode(const DataImage& image, SpeedDialChain& chain, unsigned n) {
    const auto name = KanaName(image, n);
    const std::size_t k = NameClass(name[0]);
    const unsigned head = chain.Head(k);
    if (head != 0) {
        const unsigned first = chain.First();
        unsigned x = head;
        for (std::size_t step = 0;; ++step) {
            if (CompareChainNames(name, KanaName(image, x)) < 0) {
                chain.links.InsertBefore(n, x);
                if (x == head) chain.SetHead(k, n);
                break;
            }
            const unsigned next = chain.links.Next(x);
            if (next == first || step >= chain.links.MaxNode() || !chain.links.InRange(next)) {
                chain.links.InsertBefore(n, first);  // at the end
                break;
            }
            x = next;
        }
    } else {
        chain.SetHead(k, n);
        unsigned next_head = 0;
        for (std::size_t d = 1; d < kNameClassCount && next_head == 0; ++d) {
            next_head = chain.Head((k + d) % kNameClassCount);
        }
        if (next_head != 0) {
            chain.links.InsertBefore(n, next_head);
        } else {
            chain.links.MakeAlone(n);
        }
    }
    chain.SetCount(chain.Count() + 1);
    chain.SetFirst(chain.LowestHead());
}

// Takes n out when it is linked: a head that names n passes to n's successor when that has the
// head's class, else becomes 0; the count is lowered, not below 0; the first-node word follows.
void RemoveSpeedDialNode(const DataImage& image, SpeedDialChain& chain, unsigned n) {
    if (!chain.links.Linked(n)) return;
    const unsigned next = chain.links.Next(n);
    const bool alone = next == n;
    for (std::size_t k = 0; k < kNameClassCount; ++k) {
        if (chain.Head(k) != n) continue;
        const bool successor_heads =
            !alone && chain.links.InRange(next) && NameClass(KanaName(image, next)[0]) == k;
        chain.SetHead(k, successor_heads ? next : 0);
    }
    chain.links.Unlink(n);
    if (chain.Count() > 0) chain.SetCount(chain.Count() - 1);
    chain.SetFirst(chain.LowestHead());
}

// The rows the chains are rebuilt from: the system rows of the current layout.
std::size_t ChainedRowCount(const DataImage& image) {
    const std::size_t rows = SystemRowsOfMode(image.Block(kSpeedDialModeBlock)[0]);
    return rows == 0 ? SystemRowsOfMode(1) : rows;
}

void RebuildAllNames(DataImage& image) {
    SpeedDialChain all = AllNamesChain(image);
    all.links.ClearAll();
    std::fill(all.heads.begin(), all.heads.end(), 0);
    all.SetFirst(0);
    const std::size_t rows = ChainedRowCount(image);
    for (unsigned n = 1; n <= rows; ++n) {
        if (!KanaNameEmpty(image, n)) InsertSpeedDialNode(image, all, n);
    }
}

void RebuildGroups(DataImage& image) {
    SpeedDialLinks(image, kGroupLinkOffset).ClearAll();
    for (std::size_t g = 1; g < kSpeedDialGroupCount; ++g) {
        SpeedDialChain chain = GroupChain(image, g);
        std::fill(chain.heads.begin(), chain.heads.end(), 0);
        chain.SetFirst(0);
    }
    const std::size_t rows = ChainedRowCount(image);
    for (unsigned n = 1; n <= rows; ++n) {
        const unsigned g = GroupOfNode(image, n);
        if (KanaNameEmpty(image, n) || !IsChainedGroup(g)) continue;
        SpeedDialChain chain = GroupChain(image, g);
        InsertSpeedDialNode(image, chain, n);
    }
}

// --- Code chains ---

std::span<const std::uint8_t> CodeName(const DataImage& image, unsigned code) {
    return image.Block(kCodeNameBlock).subspan(kCodeNameBytes * (code - 1), kCodeNameCompared);
}

std::array<std::uint8_t, 2> CodeNumber(const DataImage& image, unsigned code) {
    const auto entry = image.Block(kCodeNumberBlock).subspan(8 * (code - 1), 2);
    return {entry[0], entry[1]};
}

struct CodeChain {
    LinkTable links;
    std::uint8_t& head;
    bool by_name;
};

CodeChain NameChain(DataImage& image) {
    return {LinkTable(image.Block(kCodeNameLinkBlock).first(2 * (kCodeCount + 1)), 1, kCodeCount),
            image.Block(kCodeNameHeadBlock)[0], true};
}

CodeChain NumberChain(DataImage& image) {
    return {
        LinkTable(std::span(image.code_number_chain).first(2 * (kCodeCount + 1)), 1, kCodeCount),
        image.code_number_chain[kCodeNumberHeadByte], false};
}

bool CodeBefore(const DataImage& image, const CodeChain& chain, unsigned c, unsigned x) {
    if (chain.by_name) {
        const int order = CompareChainNames(CodeName(image, c), CodeName(image, x));
        if (order != 0) return order < 0;
    }
    return CodeNumberBefore(CodeNumber(image, c), CodeNumber(image, x));
}

bool CheckCodeChain(const CodeChain& chain) {
    Membership member(kCodeCount + 1, 0);
    std::vector<unsigned> order;
    if (chain.head != 0 && !WalkCycle(chain.links, chain.head, member, 1, order)) return false;
    return NoStrayLinks(chain.links, member);
}

void InsertCode(const DataImage& image, CodeChain& chain, unsigned c) {
    const unsigned head = chain.head;
    if (head == 0) {
        chain.head = static_cast<std::uint8_t>(c);
        chain.links.MakeAlone(c);
        return;
    }
    unsigned x = head;
    for (std::size_t step = 0; step < kCodeCount; ++step) {
        if (CodeBefore(image, chain, c, x)) {
            chain.links.InsertBefore(c, x);
            if (x == head) chain.head = static_cast<std::uint8_t>(c);
            return;
        }
        const unsigned next = chain.links.Next(x);
        if (next == head || !chain.links.InRange(next)) break;
        x = next;
    }
    chain.links.InsertBefore(c, head);  // after the last code
}

void RemoveCode(CodeChain& chain, unsigned c) {
    if (!chain.links.Linked(c)) return;
    const unsigned next = chain.links.Next(c);
    if (chain.head == c) chain.head = static_cast<std::uint8_t>(next == c ? 0 : next);
    chain.links.Unlink(c);
}

void RebuildCodeChain(const DataImage& image, CodeChain& chain) {
    chain.links.ClearAll();
    chain.head = 0;
    for (unsigned c = 1; c <= kCodeCount; ++c) {
        if (chain.by_name && CodeName(image, c)[0] == 0) continue;
        InsertCode(image, chain, c);
    }
}

void RelinkCode(DataImage& image, CodeChain chain, unsigned c) {
    if (!CheckCodeChain(chain)) RebuildCodeChain(image, chain);
    RemoveCode(chain, c);
    if (!chain.by_name || CodeName(image, c)[0] != 0) InsertCode(image, chain, c);
}

constexpr bool IsUpperLatin(std::uint8_t b) {
    return b >= 'A' && b <= 'Z';
}
constexpr bool IsLowerLatin(std::uint8_t b) {
    return b >= 'a' && b <= 'z';
}

// Digit rank of a number nibble: '#' (11) first, then '0' (10), '1'-'9', then 12-15 alike.
constexpr unsigned DigitRank(unsigned nibble) {
    if (nibble == 11) return 0;
    if (nibble == 10) return 1;
    if (nibble >= 1 && nibble <= 9) return nibble + 1;
    return 18;
}

}  // namespace

std::uint8_t NameClass(std::uint8_t b) {
    if ((b >= 0xA7 && b <= 0xAB) || (b >= 0xB1 && b <= 0xB5)) return 0;
    if (b >= 0xB6 && b <= 0xBA) return 1;
    if (b >= 0xBB && b <= 0xBF) return 2;
    if (b == 0xAF || (b >= 0xC0 && b <= 0xC4)) return 3;
    if (b >= 0xC5 && b <= 0xC9) return 4;
    if (b >= 0xCA && b <= 0xCE) return 5;
    if (b >= 0xCF && b <= 0xD3) return 6;
    if ((b >= 0xAC && b <= 0xAE) || (b >= 0xD4 && b <= 0xD6)) return 7;
    if (b >= 0xD7 && b <= 0xDB) return 8;
    if (b == 0xDC) return 9;
    if (IsUpperLatin(b) || IsLowerLatin(b)) {
        // A-C, D-F, G-I, J-L, M-O, then P-S, T-V, W-Z.
        constexpr std::array<std::uint8_t, 26> kLetterClass{10, 10, 10, 11, 11, 11, 12, 12, 12,
                                                            13, 13, 13, 14, 14, 14, 15, 15, 15,
                                                            15, 16, 16, 16, 17, 17, 17, 17};
        return kLetterClass[(b | 0x20) - 'a'];
    }
    return 18;
}

int CompareChainNames(std::span<const std::uint8_t> s, std::span<const std::uint8_t> t) {
    const std::size_t n = std::min(s.size(), t.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t a = s[i];
        const std::uint8_t b = t[i];
        if (a == 0 && b == 0) {
            // Both end here: the whole fields decide, bytes after the end included.
            for (std::size_t j = 0; j < n; ++j) {
                if (s[j] != t[j]) return s[j] < t[j] ? -1 : 1;
            }
            return 0;
        }
        if (b == 0) return 1;
        if (a == 0) return -1;
        const std::uint8_t ca = NameClass(a);
        const std::uint8_t cb = NameClass(b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if ((IsUpperLatin(a) && IsLowerLatin(b)) || (IsLowerLatin(a) && IsUpperLatin(b))) {
            const std::uint8_t la = a | 0x20;
            const std::uint8_t lb = b | 0x20;
            if (la == lb) return IsUpperLatin(a) ? -1 : 1;
            return la < lb ? -1 : 1;
        }
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

bool CodeNumberBefore(std::array<std::uint8_t, 2> s, std::array<std::uint8_t, 2> t) {
    auto nibbles = [](std::array<std::uint8_t, 2> n) {
        const unsigned hi = n[0], lo = n[1];
        return std::array<unsigned, 4>{hi >> 4, hi & 0x0F, lo >> 4, lo & 0x0F};
    };
    const auto sn = nibbles(s);
    const auto tn = nibbles(t);
    for (std::size_t i = 0; i < sn.size(); ++i) {
        if (tn[i] == 0) return false;
        if (sn[i] == 0) return true;
        if (DigitRank(sn[i]) != DigitRank(tn[i])) return DigitRank(sn[i]) < DigitRank(tn[i]);
    }
    return false;
}

void RelinkSpeedDialChains(DataImage& image, std::size_t row) {
    if (row > kRelinkRowLimit) return;
    const auto n = static_cast<unsigned>(row + 1);

    if (!CheckAllNames(image, n)) RebuildAllNames(image);
    Membership group_of;
    if (!CheckGroups(image, group_of, n)) {
        RebuildGroups(image);
        CheckGroups(image, group_of, n);
    }

    SpeedDialChain all = AllNamesChain(image);
    RemoveSpeedDialNode(image, all, n);
    // The group the row was linked in, which its group byte may no longer name.
    const unsigned old_group = group_of[n];
    if (IsChainedGroup(old_group)) {
        SpeedDialChain chain = GroupChain(image, old_group);
        RemoveSpeedDialNode(image, chain, n);
    }

    const unsigned group = GroupOfNode(image, n);
    if (!KanaNameEmpty(image, n)) {
        InsertSpeedDialNode(image, all, n);
        if (IsChainedGroup(group)) {
            SpeedDialChain chain = GroupChain(image, group);
            InsertSpeedDialNode(image, chain, n);
        }
    }
}

void RelinkNameChain(DataImage& image, unsigned code) {
    if (code > kCodeCount) return;
    if (code == 0) {
        auto links = image.Block(kCodeNameLinkBlock).first(2 * (kCodeCount + 2));
        std::fill(links.begin(), links.end(), 0);
        auto heads = image.Block(kCodeNameHeadBlock);
        std::fill(heads.begin(), heads.end(), 0);
        return;
    }
    RelinkCode(image, NameChain(image), code);
}

void RelinkSecondChain(DataImage& image, unsigned code) {
    if (code > kCodeCount) return;
    if (code == 0) {
        image.code_number_chain.fill(0);
        return;
    }
    RelinkCode(image, NumberChain(image), code);
}

void ClearSpeedDialChains(DataImage& image) {
    for (int b : {kSpeedDialLinkBlock, kSpeedDialClassHeadBlock, kSpeedDialGroupHeadBlock,
                  kSpeedDialFirstNodeBlock}) {
        auto block = image.Block(b);
        std::fill(block.begin(), block.end(), 0);
    }
}

// The checks only read; the chain views are built over the same storage.
bool SpeedDialNameChainWellFormed(const DataImage& image) {
    return CheckAllNames(const_cast<DataImage&>(image), 0);
}

bool SpeedDialGroupChainsWellFormed(const DataImage& image) {
    Membership member;
    return CheckGroups(const_cast<DataImage&>(image), member, 0);
}

bool CodeNameChainWellFormed(const DataImage& image) {
    return CheckCodeChain(NameChain(const_cast<DataImage&>(image)));
}

bool CodeNumberChainWellFormed(const DataImage& image) {
    return CheckCodeChain(NumberChain(const_cast<DataImage&>(image)));
}

}  // namespace qzs
