#include "settings/form_template.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_strings.h"
#include "settings/speed_dial.h"

namespace qzs {
namespace {

constexpr std::size_t kCommandLimit = 63;
constexpr std::size_t kButtonValueLimit = 63;

std::string Cut(std::string_view text) {
    return std::string(text.substr(0, kFormSlotBytes));
}

// A record's field up to its first NUL, cut as a slot is, written into the slot's own buffer.
void AssignField(std::string& slot, const char* field, std::size_t size) {
    const auto length = static_cast<std::size_t>(std::find(field, field + size, '\0') - field);
    slot.assign(field, std::min(length, kFormSlotBytes));
}

std::optional<int> ThreeDigits(std::string_view text) {
    if (text.size() < 3) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void FillFromRecord(const SpeedDialRecord& record,
                    std::array<std::string, kFormFetchSlots>& slots) {
    AssignField(slots[0], record.number.data(), record.number.size());
    AssignField(slots[1], record.kanji.data(), record.kanji.size());
    AssignField(slots[2], record.kana.data(), record.kana.size());
}

int ShowValues(ProgrammingState& state, std::string_view name,
               std::array<std::string, kFormFetchSlots>& slots) {
    const std::string command = BuildShowCommand(name);
    if (command.size() > kCommandLimit) return -1;
    std::string text;
    const int count = RunCommandForValues(state, 1, command, text);
    if (count < 0) return -1;
    if (text.starts_with('c') || text.empty() || text == ",,c") {
        slots[0].clear();
        return count;
    }
    std::size_t p = 0;
    for (std::size_t k = 0; k < kFormFetchSlots; ++k) {
        const std::size_t q = text.find_first_of(",c", p);
        const std::string_view piece = std::string_view(text).substr(p, q - p);
        if (piece.empty()) break;
        slots[k] = Cut(piece);
        if (q == std::string::npos || text[q] == 'c') break;
        p = q + 1;
    }
    return count;
}

int ButtonValues(ProgrammingState& state, std::string_view name,
                 std::array<std::string, kFormFetchSlots>& slots) {
    std::string label;
    std::string code;
    if (!GetKeyAssignmentText(state, name, label, code)) return -1;
    if (!label.empty()) label.pop_back();  // the closing "c"
    if (name.starts_with("i92")) {
        if (code.starts_with('0')) code[0] = '1';
        if (code.starts_with('B')) code.clear();
        slots[0] = code.substr(0, 1);
        slots[1] = code.size() > 2 ? code.substr(2, 3) : std::string();
        slots[2] = Cut(label);
        return 3;
    }
    if (name.starts_with("i14")) {
        if (code.size() > 1) code[1] = '_';
        slots[0] = code.substr(0, 5);
        slots[1] = Cut(label);
        return 2;
    }
    return -1;
}

int SpeedDialValues(ProgrammingState& state, std::string_view name,
                    std::array<std::string, kFormFetchSlots>& slots) {
    SpeedDialRecord record;
    const bool staged = state.duplicate_check_flag == 1;
    if (name[0] == 's') {
        const std::optional<int> row = ThreeDigits(name.substr(1));
        if (!row) return -1;
        const int read = staged ? GetStagedSystemSpeedDial(state, *row, record)
                                : GetSystemSpeedDial(state, *row, record);
        if (read == 0) return -1;
        FillFromRecord(record, slots);
        slots[3].assign({'0', record.group});
        return 4;
    }
    const std::optional<int> telephone = ThreeDigits(name.substr(1));
    const std::optional<int> row =
        name.size() > 5 && name[4] == '_' ? ThreeDigits(name.substr(5)) : std::nullopt;
    if (!telephone || !row) return -1;
    const int read = staged ? GetStagedTelephoneSpeedDial(state, *telephone, *row, record)
                            : GetTelephoneSpeedDial(state, *telephone, *row, record);
    if (read == 0) return -1;
    FillFromRecord(record, slots);
    return 3;
}

// The scanner's tokens.
enum TokenKind : int {
    kEnd = 0,
    kWord = 1,
    kSpace = 2,
    kQuoted = 3,
    kComment = 4,
    kTagEnd = 5,  // ">" and the text after it up to the next "<"
    kOther = -1,
};

// The byte classes of the scanner, ASCII only whatever the process locale: the bytes of CP932
// text are never letters of a tag. One table look-up per byte, where the scanner once asked
// the C library (which goes through the locale) for every byte of every page.
enum ByteClass : unsigned char {
    kByteOther = 0,
    kByteAlnum = 1,
    kByteSpace = 2,
    kByteQuote = 3,
    kByteClose = 4,  // ">"
    kByteOpen = 5,   // "<", which may start a comment
};

constexpr std::array<unsigned char, 256> kByteClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (int c = '0'; c <= '9'; ++c) classes[static_cast<std::size_t>(c)] = kByteAlnum;
    for (int c = 'a'; c <= 'z'; ++c) classes[static_cast<std::size_t>(c)] = kByteAlnum;
    for (int c = 'A'; c <= 'Z'; ++c) classes[static_cast<std::size_t>(c)] = kByteAlnum;
    for (const char c : {' ', '\t', '\r', '\n', '\f'}) {
        classes[static_cast<unsigned char>(c)] = kByteSpace;
    }
    classes['"'] = kByteQuote;
    classes['\''] = kByteQuote;
    classes['>'] = kByteClose;
    classes['<'] = kByteOpen;
    return classes;
}();

// The bytes at which the scan of a tag that is no control turns: quotes, "<", "=" and ">".
constexpr std::array<bool, 256> kTagTurns = [] {
    std::array<bool, 256> turns{};
    for (const char c : {'"', '\'', '<', '=', '>'}) turns[static_cast<unsigned char>(c)] = true;
    return turns;
}();

inline ByteClass ClassOf(char c) {
    return static_cast<ByteClass>(kByteClasses[static_cast<unsigned char>(c)]);
}

bool IsSpace(char c) { return ClassOf(c) == kByteSpace; }

// text.find(c, from) for the short distances of a page (a value, the text between two tags):
// the first bytes are looked at here, the rest by the library.
inline std::size_t FindByte(std::string_view text, char c, std::size_t from) {
    const std::size_t near = std::min(text.size(), from + 16);
    for (std::size_t i = from; i < near; ++i) {
        if (text[i] == c) return i;
    }
    return near < text.size() ? text.find(c, near) : std::string_view::npos;
}

// a == b for the few bytes of a value or name, without a call to the library.
inline bool SameBytes(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

inline bool IsWordOrBlank(char c) {
    const ByteClass k = ClassOf(c);
    return k == kByteAlnum || k == kByteSpace;
}

inline bool OpensComment(std::string_view text, std::size_t pos) {
    return pos + 3 < text.size() && text[pos] == '<' && text[pos + 1] == '!' &&
           text[pos + 2] == '-' && text[pos + 3] == '-';
}

// The end of the token at pos and its kind; none at an unclosed quote or comment.
inline std::optional<std::size_t> NextHtmlToken(std::string_view text, std::size_t pos,
                                                 int& kind) {
    if (pos >= text.size()) {
        kind = kEnd;
        return pos;
    }
    const char c = text[pos];
    std::size_t end = pos + 1;
    switch (ClassOf(c)) {
        case kByteAlnum:
            while (end < text.size() && ClassOf(text[end]) == kByteAlnum) ++end;
            kind = kWord;
            return end;
        case kByteSpace:
            while (end < text.size() && ClassOf(text[end]) == kByteSpace) ++end;
            kind = kSpace;
            return end;
        case kByteQuote: {
            const std::size_t close = FindByte(text, c, pos + 1);
            if (close == std::string_view::npos) return std::nullopt;
            kind = kQuoted;
            return close + 1;
        }
        case kByteClose: {
            const std::size_t open = FindByte(text, '<', pos + 1);
            kind = open == std::string_view::npos ? kEnd : kTagEnd;
            return open == std::string_view::npos ? text.size() : open;
        }
        case kByteOpen:
            if (OpensComment(text, pos)) {
                const std::size_t close = text.find("-->", pos + 4);
                if (close == std::string_view::npos) return std::nullopt;
                kind = kComment;
                return close + 3;
            }
            kind = kOther;
            return end;
        default:
            kind = kOther;
            return end;
    }
}

std::size_t SkipToSpaceOrTagEnd(std::string_view text, std::size_t pos) {
    while (pos < text.size() && !IsSpace(text[pos]) && text[pos] != '>') ++pos;
    return pos;
}

// The word against a choice of four to eight lower-case letters, ASCII case ignored: a byte
// matches a letter only as that letter or its capital, so setting the 0x20 bit of each of the
// word's bytes compares four of them at once (the first four and the last four, which overlap).
inline std::uint32_t FourBytes(const char* p) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline bool SameNoCase(std::string_view word, std::string_view lower) {
    if (word.size() != lower.size()) return false;
    const std::size_t last = word.size() - 4;
    return (FourBytes(word.data()) | 0x20202020U) == FourBytes(lower.data()) &&
           (FourBytes(word.data() + last) | 0x20202020U) == FourBytes(lower.data() + last);
}

template <std::size_t N>
consteval bool FitsSameNoCase(const std::array<std::string_view, N>& choices) {
    for (const std::string_view c : choices) {
        if (c.size() < 4 || c.size() > 8) return false;
        for (const char l : c) {
            if (l < 'a' || l > 'z') return false;
        }
    }
    return true;
}

// The index of the word among the choices, or the count of them when none fits. HTML names are
// compared whole (a word that is only the start of one, "<s>" or "<i>", is no control).
template <std::size_t N>
int Classify(std::string_view word, const std::array<std::string_view, N>& choices) {
    for (std::size_t i = 0; i < N; ++i) {
        if (SameNoCase(word, choices[i])) return static_cast<int>(i);
    }
    return static_cast<int>(N);
}

constexpr std::array<std::string_view, 3> kTags = {"input", "select", "option"};
constexpr std::array<std::string_view, 3> kAttributes = {"type", "name", "value"};
constexpr std::array<std::string_view, 5> kTypes = {"radio", "checkbox", "text", "button",
                                                    "submit"};
static_assert(FitsSameNoCase(kTags) && FitsSameNoCase(kAttributes) && FitsSameNoCase(kTypes));
enum { kInput = 0, kSelect = 1, kOption = 2, kNoControl = 3 };
enum { kAttrType = 0, kAttrName = 1, kAttrValue = 2 };
enum { kRadio = 0, kCheckbox = 1, kText = 2, kButton = 3, kSubmit = 4 };

class TemplateFiller {
  public:
    TemplateFiller(ProgrammingState& state, std::string_view text, std::string& out)
        : state_(state), text_(text), out_(out), slots_(kFormValueSlots) {}

    void Run() {
        const std::size_t size = text_.size();
        std::size_t pos = std::min(text_.find('<'), size);
        Copy(0, pos);
        while (pos < size) {
            if (tag_ == -1) {
                // Until a tag's name is known, token by token.
                int kind = kEnd;
                const std::optional<std::size_t> found = NextHtmlToken(text_, pos, kind);
                if (!found) {
                    // An unclosed quote or comment: the rest is copied as it stands.
                    Copy(pos, size);
                    Flush();
                    return;
                }
                std::size_t end = *found;
                if (kind == kEnd) {
                    Copy(pos, end);
                    Flush();
                    return;
                }
                end = Handle(pos, end, kind);
                if (attribute_ != kAttrValue) Copy(pos, end);
                pos = kind == kTagEnd ? OpenTag(end) : end;
                continue;
            }
            // Most tags of a page are no control: only where they end matters. A control's
            // attributes are read in a loop of their own.
            const bool closed = tag_ == kNoControl ? PlainTagEnd(pos) : ControlTagEnd(pos);
            const std::size_t open = closed ? FindByte(text_, '<', pos + 1) : std::string_view::npos;
            if (open == std::string_view::npos) {
                // The page ends inside the tag, or after it without another "<" (so this tag
                // is not filled), or a quote or comment is left open: the rest as it stands.
                Copy(pos, size);
                Flush();
                return;
            }
            EndTag();
            Copy(pos, open);
            pos = OpenTag(open);
        }
        Flush();
    }

  private:
    // The "<" at pos and the tag's name or "/", taken as their tokens would be; a comment is left
    // to the tokens. Answers where the tokens go on.
    std::size_t OpenTag(std::size_t pos) {
        if (OpensComment(text_, pos)) return pos;
        last_ = '<';
        std::size_t end = pos + 1;
        if (end < text_.size() && text_[end] == '/') {
            tag_ = kNoControl;
            ++end;
        } else if (end < text_.size() && ClassOf(text_[end]) == kByteAlnum) {
            const std::size_t word = end;
            while (end < text_.size() && ClassOf(text_[end]) == kByteAlnum) ++end;
            tag_ = Classify(text_.substr(word, end - word), kTags);
        }
        Copy(pos, end);
        return end;
    }

    // Scans a tag which is no control from pos, copying it, to the ">" that ends it, as the
    // tokens would go (a word or a blank changes nothing, a quote or comment is skipped whole, a
    // value after "=" without quotes runs on to a blank or ">"). False when the page ends first
    // or a quote or comment is left open at pos.
    bool PlainTagEnd(std::size_t& pos) {
        const std::size_t start = pos;
        const bool closed = ScanPlainTag(pos);
        Copy(start, pos);
        return closed;
    }

    // Only a quote, "<", "=" or ">" changes the scan of such a tag, and a byte after "=" that
    // is neither letter, digit nor blank. Runs of other bytes are passed over whole.
    bool ScanPlainTag(std::size_t& pos) const {
        const std::size_t size = text_.size();
        bool after_equals = last_ == '=';
        while (pos < size) {
            if (!after_equals) {
                while (pos < size && !kTagTurns[static_cast<unsigned char>(text_[pos])]) ++pos;
                if (pos == size) return false;
            } else {
                while (pos < size && IsWordOrBlank(text_[pos])) ++pos;
                if (pos == size) return false;
            }
            const char c = text_[pos];
            switch (ClassOf(c)) {
                case kByteClose:
                    return true;
                case kByteQuote: {
                    const std::size_t close = FindByte(text_, c, pos + 1);
                    if (close == std::string_view::npos) return false;
                    pos = close + 1;
                    after_equals = pos < size && text_[pos] == '=';
                    continue;
                }
                case kByteOpen:
                    if (OpensComment(text_, pos)) {
                        const std::size_t close = text_.find("-->", pos + 4);
                        if (close == std::string_view::npos) return false;
                        pos = close + 3;
                        continue;
                    }
                    break;
                default:
                    break;
            }
            if (after_equals) {
                // A value without quotes: it ends at a blank or ">", neither of them "=".
                pos = SkipToSpaceOrTagEnd(text_, pos);
                after_equals = false;
            } else {
                after_equals = c == '=';
                ++pos;
            }
        }
        return false;
    }

    // The attributes of a control's tag from pos to the ">" that ends it, each token handled as
    // Handle would (and copied unless it belongs to a value attribute); false as above.
    bool ControlTagEnd(std::size_t& pos) {
        const std::size_t size = text_.size();
        // Tests in the order of how often the tokens come (blank, name, "=", quoted value):
        // one jump through a table per token cost more than the tests.
        while (pos < size) {
            const char c = text_[pos];
            const ByteClass k = ClassOf(c);
            std::size_t end = pos + 1;
            if (k == kByteSpace) {
                while (end < size && ClassOf(text_[end]) == kByteSpace) ++end;
            } else if (k == kByteAlnum) {
                while (end < size && ClassOf(text_[end]) == kByteAlnum) ++end;
                if (last_ != '=') {
                    attribute_ = Classify(text_.substr(pos, end - pos), kAttributes);
                } else {
                    end = Value(pos, SkipToSpaceOrTagEnd(text_, pos), false);
                }
            } else if (k == kByteQuote) {
                const std::size_t close = FindByte(text_, c, pos + 1);
                if (close == std::string_view::npos) return false;
                end = Value(pos, close + 1, true);
            } else if (k == kByteClose) {
                return true;
            } else if (k == kByteOpen && OpensComment(text_, pos)) {
                const std::size_t close = text_.find("-->", pos + 4);
                if (close == std::string_view::npos) return false;
                end = close + 3;
            } else if (last_ != '=') {
                last_ = c;
            } else {
                end = Value(pos, SkipToSpaceOrTagEnd(text_, pos), false);
            }
            if (attribute_ != kAttrValue) Copy(pos, end);
            pos = end;
        }
        return false;
    }

    // Handles one token before a tag's name is known (the scans above take the tag on from
    // there); answers its end (an unquoted value runs on to a blank or ">").
    std::size_t Handle(std::size_t pos, std::size_t end, int kind) {
        switch (kind) {
            case kOther:
                // "</option>" and the like close a tag: they are no control to fill.
                if (text_[pos] == '/' && pos > 0 && text_[pos - 1] == '<') {
                    tag_ = kNoControl;
                    return end;
                }
                if (last_ != '=') {
                    last_ = text_[pos];
                    return end;
                }
                return Value(pos, SkipToSpaceOrTagEnd(text_, pos), false);
            case kWord:
                tag_ = Classify(text_.substr(pos, end - pos), kTags);
                return end;
            case kQuoted:
                return Value(pos, end, true);
            case kTagEnd:
                EndTag();
                return end;
            default:
                return end;
        }
    }

    // At the ">" that ends a tag: the control gets its value, and the next tag starts afresh.
    void EndTag() {
        FillAtTagEnd();
        tag_ = -1;
        attribute_ = -1;
        type_ = -1;
        last_ = 0;
        name_ = {};
        template_value_ = {};
    }

    std::size_t Value(std::size_t pos, std::size_t end, bool quoted) {
        const std::string_view value =
            quoted ? text_.substr(pos + 1, end - pos - 2) : text_.substr(pos, end - pos);
        last_ = end < text_.size() ? text_[end] : '\0';
        switch (attribute_) {
            case kAttrType:
                type_ = Classify(value, kTypes);
                break;
            case kAttrName:
                name_ = value;
                break;
            case kAttrValue:
                template_value_ = value;
                break;
            default:
                break;
        }
        return end;
    }

    // A view of the slot, valid until the next fetch (which sets current_ again).
    std::string_view Slot(long index) const {
        return index >= 0 && static_cast<std::size_t>(index) < slots_.size()
                   ? std::string_view(slots_[static_cast<std::size_t>(index)])
                   : std::string_view();
    }

    bool InGroup() const {
        return group_ && name_.size() >= group_->size() &&
               SameBytes(name_.substr(0, group_->size()), *group_);
    }

    void Fetch() {
        long field = 0;
        if (name_.size() >= 2 && name_[name_.size() - 2] == 'n' && name_.back() >= '1' &&
            name_.back() <= '9') {
            field = name_.back() - '1';
        }
        if (value_index_ <= 0 && !InGroup()) {
            if (value_index_ < 0 || slot_base_ < 0) value_index_ = slot_base_ = 0;
            // A page with more values than the slots hold starts over at the first slot, as a
            // new group, rather than writing past them.
            if (static_cast<std::size_t>(slot_base_) + kFormFetchSlots > slots_.size()) {
                value_index_ = slot_base_ = 0;
            }
            if (slot_base_ == 0) {
                // Only the slots a fetch wrote since the last start can hold a value.
                std::fill_n(slots_.begin(), static_cast<long>(slots_written_), std::string());
                slots_written_ = 0;
                group_ = name_.substr(0, name_.find_first_of("n\" "));
            }
            const auto base = static_cast<std::size_t>(slot_base_);
            // The slots are lent to the fetch and taken back, not copied both ways.
            const auto lent = slots_.begin() + static_cast<long>(base);
            std::swap_ranges(lent, lent + kFormFetchSlots, fetched_.begin());
            const int count = GetFormFieldValues(state_, name_, fetched_);
            std::swap_ranges(lent, lent + kFormFetchSlots, fetched_.begin());
            slots_written_ = std::max(slots_written_, base + kFormFetchSlots);
            last_count_ = count;
            current_ = Slot(slot_base_ + field);
            if (type_ == kRadio || count > 1) slot_base_ += count;
            return;
        }
        if (value_index_ < 0) value_index_ = 0;
        long index = value_index_ + field;
        const std::string_view at = Slot(index);
        if (at.size() > 1 && at[1] == '_' && value_index_ == 4) index = field + 2;
        current_ = Slot(index);
        value_index_ += last_count_;
        if (value_index_ >= slot_base_) value_index_ = -1;
    }

    void FillAtTagEnd() {
        if (type_ == kRadio || type_ == kCheckbox || type_ == kText || tag_ == kSelect) Fetch();
        if (tag_ != kInput && tag_ != kOption) return;
        const bool option = tag_ == kOption && type_ == -1;
        if (type_ == kRadio || type_ == kCheckbox || option) {
            Write(" value=\"");
            WriteEscaped(template_value_, false);
            Write("\"");
            if (SameBytes(current_, template_value_)) Write(option ? " selected " : " checked ");
        } else if (type_ == kText) {
            Write(" value=\"");
            WriteEscaped(current_, true);
            Write("\"");
        } else if (type_ == kButton || type_ == kSubmit) {
            Write(" value=\"");
            WriteEscaped(template_value_.substr(0, kButtonValueLimit), false);
            Write("\"");
        }
    }

    // Values from the data image may hold any byte: "&", "<", ">" and '"' go out as entities.
    // A Shift-JIS trail byte is never below 0x40, so byte-wise escaping splits no character.
    // The template's own values keep their entities; only a '"' (from single quotes) is written
    // as one.
    void WriteEscaped(std::string_view value, bool all) {
        Flush();
        std::size_t run = 0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            std::string_view entity;
            switch (value[i]) {
                case '"':
                    entity = "&quot;";
                    break;
                case '&':
                    if (all) entity = "&amp;";
                    break;
                case '<':
                    if (all) entity = "&lt;";
                    break;
                case '>':
                    if (all) entity = "&gt;";
                    break;
                default:
                    break;
            }
            if (entity.empty()) continue;
            out_.append(value.substr(run, i - run));
            out_.append(entity);
            run = i + 1;
        }
        out_.append(value.substr(run));
    }

    void Write(std::string_view text) {
        Flush();
        out_ += text;
    }

    // The template's own text goes out in runs: a token that follows the run just copied only
    // lengthens it, and the run is appended when something else is written or the page ends.
    void Copy(std::size_t begin, std::size_t end) {
        if (begin != run_end_) {
            Flush();
            run_begin_ = begin;
        }
        run_end_ = end;
    }
    void Flush() {
        if (run_end_ > run_begin_) out_.append(text_.substr(run_begin_, run_end_ - run_begin_));
        run_begin_ = run_end_;
    }

    ProgrammingState& state_;
    std::string_view text_;
    std::string& out_;
    std::size_t run_begin_ = 0;
    std::size_t run_end_ = 0;
    std::vector<std::string> slots_;
    std::size_t slots_written_ = 0;  // slots at and after this index are empty
    // Per tag.
    int tag_ = -1;
    int attribute_ = -1;
    int type_ = -1;
    char last_ = 0;
    std::string_view name_;
    std::string_view template_value_;
    // Across tags.
    std::optional<std::string_view> group_;
    long slot_base_ = 0;
    long value_index_ = -1;
    int last_count_ = 0;
    std::string_view current_;  // a slot's value
    std::array<std::string, kFormFetchSlots> fetched_;  // always empty between fetches
};

}  // namespace

std::string BuildShowCommand(std::string_view name) {
    std::string out = "*";
    std::size_t p = 1;
    while (p <= name.size()) {
        const std::size_t q = std::min(name.find_first_of("_sn\" ", p), name.size());
        out += name.substr(p, q - p);
        if (q >= name.size() || name[q] == '"' || name[q] == ' ') {
            out += '#';
            break;
        }
        if (name[q] == 's') out += '#';
        if (name[q] == 'n') {
            out += "##";
            break;
        }
        p = q + 1;
    }
    return out;
}

int GetFormFieldValues(ProgrammingState& state, std::string_view name,
                       std::array<std::string, kFormFetchSlots>& slots) {
    ApplicationLock::Guard guard(state.lock);
    if (name.empty()) return -1;
    switch (name[0]) {
        case 'h':
            return ShowValues(state, name, slots);
        case 'i':
            return ButtonValues(state, name, slots);
        case 's':
        case 't':
            return SpeedDialValues(state, name, slots);
        default:
            return -1;
    }
}

int FillFormTemplate(ProgrammingState& state, std::string_view template_text, std::FILE* out) {
    // The page is built in memory and written with one call: a write per token of the template
    // cost more than filling in the values.
    std::string page;
    const std::string_view text = template_text.substr(0, template_text.find('\0'));
    page.reserve(text.size() + text.size() / 4);
    {
        ApplicationLock::Guard guard(state.lock);
        TemplateFiller(state, text, page).Run();
    }
    if (!page.empty()) std::fwrite(page.data(), 1, page.size(), out);
    return 0;
}

}  // namespace qzs
