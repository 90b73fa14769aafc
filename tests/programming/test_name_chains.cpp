#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "programming/data_image.h"
#include "programming/name_chains.h"
#include "programming/number_index.h"

namespace qzs {
namespace {

// --- A plain model of the orders ---

// The initial-character classes as ranges of bytes.
int ModelClass(std::uint8_t b) {
    const struct {
        int first, last, cls;
    } ranges[] = {
        {0xA7, 0xAB, 0}, {0xB1, 0xB5, 0}, {0xB6, 0xBA, 1}, {0xBB, 0xBF, 2}, {0xAF, 0xAF, 3},
        {0xC0, 0xC4, 3}, {0xC5, 0xC9, 4}, {0xCA, 0xCE, 5}, {0xCF, 0xD3, 6}, {0xAC, 0xAE, 7},
        {0xD4, 0xD6, 7}, {0xD7, 0xDB, 8}, {0xDC, 0xDC, 9}, {'A', 'C', 10},  {'a', 'c', 10},
        {'D', 'F', 11},  {'d', 'f', 11},  {'G', 'I', 12},  {'g', 'i', 12},  {'J', 'L', 13},
        {'j', 'l', 13},  {'M', 'O', 14},  {'m', 'o', 14},  {'P', 'S', 15},  {'p', 's', 15},
        {'T', 'V', 16},  {'t', 'v', 16},  {'W', 'Z', 17},  {'w', 'z', 17},
    };
    for (const auto& r : ranges) {
        if (b >= r.first && b <= r.last) return r.cls;
    }
    return 18;
}

// A name as a sequence of sort keys, one per character up to its end: the class first; within a
// class a letter sorts by the letter and then upper before lower case, anything else by its byte.
std::vector<int> NameKey(std::span<const std::uint8_t> field) {
    std::vector<int> key;
    for (std::uint8_t b : field) {
        if (b == 0) break;
        const bool letter = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        const int within = letter ? 2 * (b | 0x20) + (b >= 'a' ? 1 : 0) : 2 * b;
        key.push_back(1000 * ModelClass(b) + within);
    }
    return key;
}

// Digit ranks of four nibbles (high first) up to the first 0.
std::vector<int> NumberKey(std::array<std::uint8_t, 2> number) {
    const int nibbles[] = {number[0] >> 4, number[0] & 15, number[1] >> 4, number[1] & 15};
    std::vector<int> key;
    for (int n : nibbles) {
        if (n == 0) break;
        key.push_back(n == 11 ? 0 : n == 10 ? 1 : n <= 9 ? n + 1 : 18);
    }
    return key;
}

// --- Reading a chain back out of the image ---

struct ChainView {
    std::vector<unsigned> order;  // nodes from the first, following the next links
    bool links_inverse = true;
};

unsigned Word(const DataImage& image, int block, std::size_t word) {
    const auto bytes = image.Block(block);
    return bytes[2 * word] | (bytes[2 * word + 1] << 8);
}

void SetWord(DataImage& image, int block, std::size_t word, unsigned value) {
    auto bytes = image.Block(block);
    bytes[2 * word] = static_cast<std::uint8_t>(value);
    bytes[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Speed-dial links: table 0 all names, table 1 the groups.
unsigned SdPrev(const DataImage& image, int table, unsigned n) {
    return Word(image, kSpeedDialLinkBlock, table * 2002 + 2 * n);
}
unsigned SdNext(const DataImage& image, int table, unsigned n) {
    return Word(image, kSpeedDialLinkBlock, table * 2002 + 2 * n + 1);
}

ChainView WalkSpeedDial(const DataImage& image, int table, unsigned first) {
    ChainView view;
    if (first == 0) return view;
    unsigned n = first;
    do {
        view.order.push_back(n);
        const unsigned next = SdNext(image, table, n);
        if (next == 0 || next > kMaxSpeedDialNode || SdPrev(image, table, next) != n) {
            view.links_inverse = false;
            break;
        }
        n = next;
    } while (n != first && view.order.size() <= kMaxSpeedDialNode);
    return view;
}

// --- The speed-dial rows and what the chains must hold ---

class SpeedDialModel {
  public:
    explicit SpeedDialModel(DataImage& image) : image_(image) {
        image_.Block(kSpeedDialModeBlock)[0] = 1;  // the 600-row layout
    }

    // Writes the row's kana field and group byte, then relinks the row.
    void Store(std::size_t row, const std::vector<std::uint8_t>& kana, std::uint8_t group) {
        Write(row, kana, group);
        RelinkSpeedDialChains(image_, row);
        linked_at_[row] = ++clock_;
    }

    void Write(std::size_t row, const std::vector<std::uint8_t>& kana, std::uint8_t group) {
        auto bytes = SpeedDialRow(image_, row);
        std::fill_n(bytes.begin() + kSpeedDialKanaByte, 21, 0);
        std::copy(kana.begin(), kana.end(), bytes.begin() + kSpeedDialKanaByte);
        bytes[kSpeedDialGroupByte] = group;
    }

    // After a rebuild every row counts as linked in row order.
    void RelinkedInRowOrder() {
        for (auto& [row, at] : linked_at_) at = row - 100000;
    }

    std::span<const std::uint8_t> Kana(unsigned node) const {
        return SpeedDialRow(image_, node - 1).subspan(kSpeedDialKanaByte, 20);
    }

    // Rows with a name (and the group, when one is given), in name order, equal names in the
    // order they were linked.
    std::vector<unsigned> Expected(int group) const {
        std::vector<std::tuple<std::vector<int>, std::vector<std::uint8_t>, long, unsigned>> rows;
        for (const auto& [row, at] : linked_at_) {
            const unsigned node = static_cast<unsigned>(row + 1);
            const auto kana = Kana(node);
            const int g = SpeedDialRow(image_, row)[kSpeedDialGroupByte] & 15;
            if (kana[0] == 0 || (group != 0 && g != group)) continue;
            rows.emplace_back(NameKey(kana), std::vector<std::uint8_t>(kana.begin(), kana.end()),
                              at, node);
        }
        std::sort(rows.begin(), rows.end());
        std::vector<unsigned> nodes;
        for (const auto& r : rows) nodes.push_back(std::get<3>(r));
        return nodes;
    }

    // The name and whole field of each node: what the order compares before the link order.
    std::vector<std::pair<std::vector<int>, std::vector<std::uint8_t>>> Keys(
        const std::vector<unsigned>& nodes) const {
        std::vector<std::pair<std::vector<int>, std::vector<std::uint8_t>>> keys;
        for (unsigned n : nodes) {
            const auto kana = Kana(n);
            keys.emplace_back(NameKey(kana), std::vector<std::uint8_t>(kana.begin(), kana.end()));
        }
        return keys;
    }

    // With ties_in_link_order false, rows with equal names may stand in any order among
    // themselves (after damage nothing tells in which order they were linked).
    void ExpectChain(int table, int heads_block, std::size_t heads_word, std::size_t first_word,
                     const std::vector<unsigned>& expected, bool ties_in_link_order) const {
        const unsigned first = Word(image_, kSpeedDialFirstNodeBlock, first_word);
        const ChainView view = WalkSpeedDial(image_, table, first);
        EXPECT_TRUE(view.links_inverse);
        if (ties_in_link_order) {
            ASSERT_EQ(view.order, expected);
        } else {
            ASSERT_EQ(Keys(view.order), Keys(expected));
            auto sorted_view = view.order;
            auto sorted_expected = expected;
            std::sort(sorted_view.begin(), sorted_view.end());
            std::sort(sorted_expected.begin(), sorted_expected.end());
            ASSERT_EQ(sorted_view, sorted_expected);
        }
        EXPECT_EQ(Word(image_, heads_block, heads_word + kCountWord), expected.size());
        for (int k = 0; k < 19; ++k) {
            unsigned head = 0;
            for (unsigned n : view.order) {
                if (ModelClass(Kana(n)[0]) == k) {
                    head = n;
                    break;
                }
            }
            EXPECT_EQ(Word(image_, heads_block, heads_word + k), head) << "class " << k;
        }
    }

    void ExpectAllChains(bool ties_in_link_order = true) const {
        ASSERT_NO_FATAL_FAILURE(
            ExpectChain(0, kSpeedDialClassHeadBlock, 0, 0, Expected(0), ties_in_link_order))
            << "all names";
        std::vector<bool> in_group(kMaxSpeedDialNode + 1, false);
        for (int g = 1; g <= 7; ++g) {
            const auto expected = Expected(g);
            for (unsigned n : expected) in_group[n] = true;
            ASSERT_NO_FATAL_FAILURE(
                ExpectChain(1, kSpeedDialGroupHeadBlock, 20 * g, g, expected, ties_in_link_order))
                << "group " << g;
        }
        // Rows in no chain have no links.
        const auto all = Expected(0);
        for (unsigned n = 1; n <= kMaxSpeedDialNode; ++n) {
            if (std::find(all.begin(), all.end(), n) == all.end()) {
                ASSERT_EQ(SdPrev(image_, 0, n) | SdNext(image_, 0, n), 0u) << "node " << n;
            }
            if (!in_group[n]) {
                ASSERT_EQ(SdPrev(image_, 1, n) | SdNext(image_, 1, n), 0u) << "node " << n;
            }
        }
    }

  private:
    DataImage& image_;
    std::map<std::size_t, long> linked_at_;
    long clock_ = 0;
};

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// --- The orders ---

TEST(NameChains, ClassesFollowTheKanaRowsAndLetterGroups) {
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(NameClass(static_cast<std::uint8_t>(b)), ModelClass(static_cast<std::uint8_t>(b)))
            << "byte " << b;
    }
}

TEST(NameChains, NameOrder) {
    const struct {
        std::vector<std::uint8_t> s, t;
        int order;
        const char* why;
    } cases[] = {
        {Bytes("A"), Bytes("a"), -1, "upper before lower of the same letter"},
        {Bytes("a"), Bytes("A"), 1, "upper before lower of the same letter"},
        {Bytes("a"), Bytes("B"), -1, "the earlier letter across cases"},
        {Bytes("B"), Bytes("a"), 1, "the earlier letter across cases"},
        {Bytes("AB"), Bytes("Ab"), -1, "case decides at the second letter"},
        {Bytes("Z"), Bytes("a"), 1, "the lower class first"},
        {{0xB1}, {0xB6}, -1, "a-row before ka-row"},
        {{0xB6}, Bytes("A"), -1, "kana before Latin letters"},
        {{0xA7}, {0xB5}, -1, "small a before full kana of the same class by byte"},
        {{0xAF}, {0xC0}, -1, "small tsu with the ta row"},
        {Bytes("z"), Bytes("1"), -1, "digits sort last"},
        {Bytes("1"), Bytes("-"), 1, "digit and sign in one class by byte"},
        {{0xDD}, Bytes("1"), 1, "0xDD with the signs, by byte"},
        {Bytes("AB"), Bytes("ABC"), -1, "a name that ends first"},
        {Bytes("ABC"), Bytes("AB"), 1, "a name that ends first"},
        {Bytes("AB"), Bytes("AB"), 0, "equal"},
        {{'A', 'B', 0, 1}, {'A', 'B', 0, 2}, -1, "bytes after the end decide a tie"},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 20> s{}, t{};
        std::copy(c.s.begin(), c.s.end(), s.begin());
        std::copy(c.t.begin(), c.t.end(), t.begin());
        EXPECT_EQ(CompareChainNames(s, t), c.order) << c.why;
    }
    // Twenty equal characters with nothing after them are equal.
    std::array<std::uint8_t, 20> full;
    full.fill('K');
    EXPECT_EQ(CompareChainNames(full, full), 0);
}

TEST(NameChains, NumberOrder) {
    const struct {
        std::array<std::uint8_t, 2> s, t;
        bool before;
        const char* why;
    } cases[] = {
        {{0x12, 0x00}, {0x20, 0x00}, true, "12 before 2"},
        {{0x20, 0x00}, {0x12, 0x00}, false, "12 before 2"},
        {{0xA0, 0x00}, {0x10, 0x00}, true, "0 before 1"},
        {{0xB0, 0x00}, {0xA0, 0x00}, true, "# before 0"},
        {{0x90, 0x00}, {0xC0, 0x00}, true, "9 before the signs"},
        {{0xC0, 0x00}, {0xF0, 0x00}, false, "the signs rank alike"},
        {{0x00, 0x00}, {0x10, 0x00}, true, "no number first"},
        {{0x10, 0x00}, {0x00, 0x00}, false, "no number first"},
        {{0x00, 0x00}, {0x00, 0x00}, false, "equal is not before"},
        {{0x12, 0x34}, {0x12, 0x34}, false, "equal is not before"},
        {{0x12, 0x00}, {0x12, 0x30}, true, "a number that ends first"},
        {{0x12, 0x03}, {0x12, 0x00}, false, "a nibble 0 ends the number"},
    };
    for (const auto& c : cases) EXPECT_EQ(CodeNumberBefore(c.s, c.t), c.before) << c.why;
}

// --- Speed-dial chains ---

TEST(SpeedDialChains, EqualNamesKeepTheOrderTheyWereLinkedIn) {
    auto image = std::make_unique<DataImage>();
    SpeedDialModel model(*image);
    model.Store(10, Bytes("KATO"), 2);
    model.Store(3, Bytes("KATO"), 2);
    model.Store(7, Bytes("ABE"), 2);
    EXPECT_EQ(model.Expected(0), (std::vector<unsigned>{8, 11, 4}));
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
    model.Store(10, Bytes("KATO"), 2);  // relinking the first moves it behind the second
    EXPECT_EQ(model.Expected(0), (std::vector<unsigned>{8, 4, 11}));
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
}

TEST(SpeedDialChains, EmptyNamesAndGroupZeroStayOutOfTheirChains) {
    auto image = std::make_unique<DataImage>();
    SpeedDialModel model(*image);
    model.Store(1, Bytes("SATO"), 0);
    model.Store(2, {}, 3);
    model.Store(3, Bytes("ITO"), 9);  // a group with no chain
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
    EXPECT_EQ(Word(*image, kSpeedDialFirstNodeBlock, 0), 4u);
    for (int g = 1; g <= 7; ++g) EXPECT_EQ(Word(*image, kSpeedDialFirstNodeBlock, g), 0u);

    model.Store(1, {}, 0);
    model.Store(3, {}, 9);
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
    EXPECT_EQ(Word(*image, kSpeedDialFirstNodeBlock, 0), 0u);
    EXPECT_EQ(Word(*image, kSpeedDialClassHeadBlock, kCountWord), 0u);
}

TEST(SpeedDialChains, ChangingGroupLowersTheCountOfTheGroupLeft) {
    auto image = std::make_unique<DataImage>();
    SpeedDialModel model(*image);
    model.Store(1, Bytes("UENO"), 3);
    model.Store(2, Bytes("ONO"), 3);
    model.Store(1, Bytes("UENO"), 5);
    EXPECT_EQ(Word(*image, kSpeedDialGroupHeadBlock, 20 * 3 + kCountWord), 1u);
    EXPECT_EQ(Word(*image, kSpeedDialGroupHeadBlock, 20 * 5 + kCountWord), 1u);
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
}

TEST(SpeedDialChains, RowsPastTheRelinkRangeChangeNothing) {
    auto image = std::make_unique<DataImage>();
    SpeedDialModel model(*image);
    model.Write(601, Bytes("MORI"), 1);
    RelinkSpeedDialChains(*image, 601);
    for (int b : {kSpeedDialLinkBlock, kSpeedDialClassHeadBlock, kSpeedDialGroupHeadBlock,
                  kSpeedDialFirstNodeBlock}) {
        const auto block = image->Block(b);
        EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](auto v) { return v == 0; }));
    }
    model.Store(600, Bytes("MORI"), 1);  // row 600 is the last that is linked
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
}

std::vector<std::uint8_t> RandomKana(std::mt19937& random) {
    // Few characters from several classes, both cases of a few letters, digits and signs, so that
    // equal names, prefixes and every rule of the order come up.
    static const std::uint8_t pool[] = {0xB1, 0xA7, 0xB6, 0xBB, 0xAF, 0xC0, 0xDC, 0xDD,
                                        'A',  'a',  'B',  'b',  'z',  'Z',  '1',  '-'};
    const std::size_t length = random() % 4;
    std::vector<std::uint8_t> name;
    for (std::size_t i = 0; i < length; ++i) name.push_back(pool[random() % std::size(pool)]);
    // Now and then bytes after the end, which decide between names that are otherwise equal.
    if (!name.empty() && random() % 8 == 0) {
        name.push_back(0);
        name.push_back(static_cast<std::uint8_t>(1 + random() % 2));
    }
    return name;
}

TEST(SpeedDialChains, RandomRelinksKeepEveryChainSorted) {
    auto image = std::make_unique<DataImage>();
    SpeedDialModel model(*image);
    std::mt19937 random(1881);
    for (int step = 0; step < 3000; ++step) {
        const std::size_t row = (random() % 2 == 0) ? random() % 600 : random() % 12;
        const auto group = static_cast<std::uint8_t>(random() % 10);  // 8 and 9: no group chain
        model.Store(row, RandomKana(random), group);
        if (step % 25 == 0) {
            ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains()) << "step " << step;
            ASSERT_TRUE(SpeedDialNameChainWellFormed(*image));
            ASSERT_TRUE(SpeedDialGroupChainsWellFormed(*image));
        }
    }
    ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());
}

// --- Broken chains ---

struct Damage {
    const char* why;
    void (*apply)(DataImage& image);
};

// Rows 1-6 (nodes 2-7) are linked when the damage is done; the all-names chain runs
// 7 ("ABE"), 3 ("IDA"), 2 ("KATO"), 5 ("KATO"), 4 ("SATO"), 6 ("SATO"); group 1 holds 2, 4, 6
// and group 2 holds 3, 5.
const Damage kDamage[] = {
    {"a next link past every node",
     [](DataImage& im) { SetWord(im, kSpeedDialLinkBlock, 2 * 5 + 1, 5000); }},
    {"a next link of 0", [](DataImage& im) { SetWord(im, kSpeedDialLinkBlock, 2 * 3 + 1, 0); }},
    {"a previous link that disagrees",
     [](DataImage& im) { SetWord(im, kSpeedDialLinkBlock, 2 * 4, 7); }},
    {"a loop that never comes back to the first node",
     [](DataImage& im) {
         SetWord(im, kSpeedDialLinkBlock, 2 * 5 + 1, 2);  // 5 -> 2 and 2 <- 5: 2, 5 loop alone
         SetWord(im, kSpeedDialLinkBlock, 2 * 2, 5);
     }},
    {"a node linked outside the chain",
     [](DataImage& im) {
         SetWord(im, kSpeedDialLinkBlock, 2 * 40, 40);
         SetWord(im, kSpeedDialLinkBlock, 2 * 40 + 1, 40);
     }},
    {"a class head past every node",
     [](DataImage& im) { SetWord(im, kSpeedDialClassHeadBlock, 12, 4000); }},
    {"a class head on an unlinked node",
     [](DataImage& im) { SetWord(im, kSpeedDialClassHeadBlock, 17, 50); }},
    {"a class head on a node of another class",
     [](DataImage& im) { SetWord(im, kSpeedDialClassHeadBlock, 13, 4); }},
    {"a wrong count", [](DataImage& im) { SetWord(im, kSpeedDialClassHeadBlock, kCountWord, 2); }},
    {"a first node that is no head",
     [](DataImage& im) { SetWord(im, kSpeedDialFirstNodeBlock, 0, 5); }},
    {"a group link past every node",
     [](DataImage& im) { SetWord(im, kSpeedDialLinkBlock, 2002 + 2 * 2 + 1, 0xFFFF); }},
    {"a group count below the truth",
     [](DataImage& im) { SetWord(im, kSpeedDialGroupHeadBlock, 20 * 1 + kCountWord, 0); }},
    {"a group head naming a node of another group",
     [](DataImage& im) { SetWord(im, kSpeedDialGroupHeadBlock, 20 * 2 + 10, 2); }},
    {"the whole link table overwritten",
     [](DataImage& im) {
         auto links = im.Block(kSpeedDialLinkBlock);
         for (std::size_t i = 0; i < links.size(); ++i) links[i] = static_cast<std::uint8_t>(i * 7);
     }},
};

TEST(SpeedDialChains, BrokenChainsAreRebuiltFromTheirRows) {
    for (const Damage& damage : kDamage) {
        auto image = std::make_unique<DataImage>();
        SpeedDialModel model(*image);
        model.Store(1, Bytes("KATO"), 1);
        model.Store(2, Bytes("IDA"), 2);
        model.Store(3, Bytes("SATO"), 1);
        model.Store(4, Bytes("KATO"), 2);
        model.Store(5, Bytes("SATO"), 1);
        model.Store(6, Bytes("ABE"), 0);
        ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains());

        damage.apply(*image);
        EXPECT_FALSE(SpeedDialNameChainWellFormed(*image) && SpeedDialGroupChainsWellFormed(*image))
            << damage.why;
        // The rows are relinked in row order by the rebuild; the row stored now goes behind the
        // rows with its name.
        model.RelinkedInRowOrder();
        model.Store(1, Bytes("KATO"), 1);
        ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains()) << damage.why;
        EXPECT_EQ(model.Expected(0), (std::vector<unsigned>{7, 3, 5, 2, 4, 6})) << damage.why;
    }
}

TEST(SpeedDialChains, RandomDamageEndsInSoundChains) {
    std::mt19937 random(4004);
    const int blocks[] = {kSpeedDialLinkBlock, kSpeedDialClassHeadBlock, kSpeedDialGroupHeadBlock,
                          kSpeedDialFirstNodeBlock};
    for (int round = 0; round < 150; ++round) {
        auto image = std::make_unique<DataImage>();
        SpeedDialModel model(*image);
        for (int i = 0; i < 40; ++i) {
            model.Store(random() % 60, RandomKana(random), static_cast<std::uint8_t>(random() % 9));
        }
        // A few bytes overwritten where the chains keep their links, heads, counts and first
        // nodes; mostly among the first nodes, where the links of the rows stored lie.
        for (int hits = 1 + random() % 4; hits > 0; --hits) {
            const int b = blocks[random() % std::size(blocks)];
            auto block = image->Block(b);
            std::size_t at = random() % block.size();
            if (b == kSpeedDialLinkBlock && random() % 2 == 0)
                at = random() % 2 == 0 ? at % 256 : 4004 + at % 256;
            block[at] = static_cast<std::uint8_t>(random());
        }
        model.Store(random() % 60, RandomKana(random), static_cast<std::uint8_t>(random() % 9));
        ASSERT_TRUE(SpeedDialNameChainWellFormed(*image)) << "round " << round;
        ASSERT_TRUE(SpeedDialGroupChainsWellFormed(*image)) << "round " << round;
        ASSERT_NO_FATAL_FAILURE(model.ExpectAllChains(false)) << "round " << round;
    }
}

TEST(SpeedDialChains, ClearingEmptiesEveryChain) {
    auto image = std::make_unique<DataImage>();
    SpeedDialModel model(*image);
    model.Store(4, Bytes("KATO"), 1);
    image->Block(kSpeedDialGroupHeadBlock)[0] = 9;  // group 0's words go too
    ClearSpeedDialChains(*image);
    for (int b : {kSpeedDialLinkBlock, kSpeedDialClassHeadBlock, kSpeedDialGroupHeadBlock,
                  kSpeedDialFirstNodeBlock}) {
        const auto block = image->Block(b);
        EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](auto v) { return v == 0; }));
    }
    EXPECT_TRUE(SpeedDialNameChainWellFormed(*image));
}

// --- Code chains ---

class CodeModel {
  public:
    explicit CodeModel(DataImage& image) : image_(image) {}

    void SetName(unsigned code, const std::vector<std::uint8_t>& name) {
        auto field = image_.Block(kCodeNameBlock).subspan(20 * (code - 1), 20);
        std::fill(field.begin(), field.end(), 0);
        std::copy(name.begin(), name.end(), field.begin());
    }
    void SetNumber(unsigned code, std::uint8_t first, std::uint8_t second) {
        auto entry = image_.Block(kCodeNumberBlock).subspan(8 * (code - 1), 2);
        entry[0] = first;
        entry[1] = second;
    }
    void Relink(unsigned code) {
        RelinkNameChain(image_, code);
        RelinkSecondChain(image_, code);
        linked_at_[code] = ++clock_;
    }
    void RelinkedInCodeOrder(bool all_codes) {
        if (all_codes) {
            for (unsigned c = 1; c <= kCodeCount; ++c) linked_at_.try_emplace(c, 0);
        }
        for (auto& [code, at] : linked_at_) at = static_cast<long>(code) - 100000;
    }

    std::span<const std::uint8_t> Name(unsigned c) const {
        return image_.Block(kCodeNameBlock).subspan(20 * (c - 1), 10);
    }
    std::array<std::uint8_t, 2> Number(unsigned c) const {
        const auto entry = image_.Block(kCodeNumberBlock).subspan(8 * (c - 1), 2);
        return {entry[0], entry[1]};
    }

    std::vector<unsigned> ExpectedByName() const {
        std::vector<std::tuple<std::vector<int>, std::vector<std::uint8_t>, std::vector<int>, long,
                               unsigned>>
            codes;
        for (const auto& [c, at] : linked_at_) {
            const auto name = Name(c);
            if (name[0] == 0) continue;
            codes.emplace_back(NameKey(name), std::vector<std::uint8_t>(name.begin(), name.end()),
                               NumberKey(Number(c)), at, c);
        }
        std::sort(codes.begin(), codes.end());
        std::vector<unsigned> out;
        for (const auto& t : codes) out.push_back(std::get<4>(t));
        return out;
    }

    std::vector<unsigned> ExpectedByNumber() const {
        std::vector<std::tuple<std::vector<int>, long, unsigned>> codes;
        for (const auto& [c, at] : linked_at_) codes.emplace_back(NumberKey(Number(c)), at, c);
        std::sort(codes.begin(), codes.end());
        std::vector<unsigned> out;
        for (const auto& t : codes) out.push_back(std::get<2>(t));
        return out;
    }

    static std::vector<unsigned> Walk(std::span<const std::uint8_t> links, unsigned head,
                                      bool& inverse) {
        std::vector<unsigned> order;
        inverse = true;
        if (head == 0) return order;
        unsigned c = head;
        do {
            order.push_back(c);
            const unsigned next = links[2 * c + 1];
            if (next == 0 || next > kCodeCount || links[2 * next] != c) {
                inverse = false;
                break;
            }
            c = next;
        } while (c != head && order.size() <= kCodeCount);
        return order;
    }

    void ExpectChains() const {
        bool inverse = false;
        const auto by_name =
            Walk(image_.Block(kCodeNameLinkBlock), image_.Block(kCodeNameHeadBlock)[0], inverse);
        EXPECT_TRUE(inverse);
        ASSERT_EQ(by_name, ExpectedByName());
        const auto by_number =
            Walk(image_.code_number_chain, image_.code_number_chain[kCodeNumberHeadByte], inverse);
        EXPECT_TRUE(inverse);
        ASSERT_EQ(by_number, ExpectedByNumber());
    }

  private:
    DataImage& image_;
    std::map<unsigned, long> linked_at_;
    long clock_ = 0;
};

TEST(CodeChains, EqualNamesAreOrderedByNumber) {
    auto image = std::make_unique<DataImage>();
    CodeModel model(*image);
    model.SetName(5, Bytes("FRONT DESK"));
    model.SetNumber(5, 0x20, 0x00);           // 2
    model.SetName(9, Bytes("FRONT DESK 2"));  // equal in the ten bytes compared
    model.SetNumber(9, 0x12, 0x00);           // 12
    model.SetName(1, Bytes("FRONT DESK"));
    model.SetNumber(1, 0xA0, 0x00);  // 0
    model.SetName(2, Bytes("BAR"));
    model.SetNumber(2, 0x10, 0x00);
    for (unsigned c : {5u, 9u, 1u, 2u}) model.Relink(c);
    EXPECT_EQ(model.ExpectedByName(), (std::vector<unsigned>{2, 1, 9, 5}));
    ASSERT_NO_FATAL_FAILURE(model.ExpectChains());
}

TEST(CodeChains, ZeroEmptiesAndCodesPastTheTableChangeNothing) {
    auto image = std::make_unique<DataImage>();
    CodeModel model(*image);
    model.SetName(3, Bytes("LOBBY"));
    model.Relink(3);
    image->Block(kCodeNameHeadBlock)[19] = 0x55;
    image->Block(kCodeNameLinkBlock)[300] = 0x66;  // the other half of the block stays

    auto before = std::vector<std::uint8_t>(image->Block(kCodeNameLinkBlock).begin(),
                                            image->Block(kCodeNameLinkBlock).end());
    RelinkNameChain(*image, 129);
    RelinkSecondChain(*image, 200);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), image->Block(kCodeNameLinkBlock).begin()));
    EXPECT_EQ(image->code_number_chain[kCodeNumberHeadByte], 3);

    RelinkNameChain(*image, 0);
    const auto links = image->Block(kCodeNameLinkBlock);
    EXPECT_TRUE(std::all_of(links.begin(), links.begin() + 260, [](auto v) { return v == 0; }));
    EXPECT_EQ(links[300], 0x66);
    const auto heads = image->Block(kCodeNameHeadBlock);
    EXPECT_TRUE(std::all_of(heads.begin(), heads.end(), [](auto v) { return v == 0; }));

    image->code_number_chain[261] = 0x77;
    RelinkSecondChain(*image, 0);
    EXPECT_TRUE(std::all_of(image->code_number_chain.begin(), image->code_number_chain.end(),
                            [](auto v) { return v == 0; }));
}

TEST(CodeChains, RandomRelinksKeepBothChainsSorted) {
    auto image = std::make_unique<DataImage>();
    CodeModel model(*image);
    std::mt19937 random(82);
    const std::uint8_t digits[] = {0x0, 0x1, 0x2, 0xA, 0xB, 0xC};
    for (int step = 0; step < 2000; ++step) {
        const unsigned code = 1 + random() % kCodeCount;
        auto name = RandomKana(random);
        if (random() % 4 == 0) name.insert(name.begin(), 9, 'Q');  // equal in the bytes compared
        model.SetName(code, name);
        auto digit = [&] { return digits[random() % std::size(digits)]; };
        model.SetNumber(code, static_cast<std::uint8_t>(digit() << 4 | digit()),
                        static_cast<std::uint8_t>(digit() << 4 | digit()));
        model.Relink(code);
        if (step % 20 == 0) {
            ASSERT_NO_FATAL_FAILURE(model.ExpectChains()) << "step " << step;
            ASSERT_TRUE(CodeNameChainWellFormed(*image));
            ASSERT_TRUE(CodeNumberChainWellFormed(*image));
        }
    }
    ASSERT_NO_FATAL_FAILURE(model.ExpectChains());
}

TEST(CodeChains, BrokenChainsAreRebuiltFromTheirCodes) {
    const struct {
        const char* why;
        bool number_chain;
        std::size_t byte;
        std::uint8_t value;
    } damage[] = {
        {"name head past the codes", false, 0, 200},
        {"name link past the codes", false, 2 * 4 + 1, 129},
        {"name links that disagree", false, 2 * 7, 12},
        {"number head on an unlinked code", true, kCodeNumberHeadByte, 90},
        {"number loop that never closes", true, 2 * 7 + 1, 7},
        {"number link of 0", true, 2 * 4 + 1, 0},
    };
    for (const auto& d : damage) {
        auto image = std::make_unique<DataImage>();
        CodeModel model(*image);
        const char* names[] = {"DOOR", "GATE", "DOOR", "ANNEX"};
        const unsigned codes[] = {4, 7, 10, 12};
        for (int i = 0; i < 4; ++i) {
            model.SetName(codes[i], Bytes(names[i]));
            model.SetNumber(codes[i], static_cast<std::uint8_t>(0x10 * (4 - i)), 0);
            model.Relink(codes[i]);
        }
        ASSERT_NO_FATAL_FAILURE(model.ExpectChains());
        if (d.number_chain) {
            image->code_number_chain[d.byte] = d.value;
        } else if (d.byte == 0) {
            image->Block(kCodeNameHeadBlock)[0] = d.value;
        } else {
            image->Block(kCodeNameLinkBlock)[d.byte] = d.value;
        }
        EXPECT_FALSE(CodeNameChainWellFormed(*image) && CodeNumberChainWellFormed(*image)) << d.why;
        // The broken chain is rebuilt with its codes in code order; the number chain, which
        // holds every code, then holds all 128.
        model.RelinkedInCodeOrder(d.number_chain);
        model.Relink(10);
        ASSERT_NO_FATAL_FAILURE(model.ExpectChains()) << d.why;
    }
}

}  // namespace
}  // namespace qzs
