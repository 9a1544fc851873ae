// The parse: JSON text (UTF-8 bytes, or UTF-16 code units read the way their
// UTF-8 form would be) to a value tree.
//
// The parser is a loop over an explicit stack, never a recursion: finished values
// wait on one stack of array items and one of object members, and when a container
// closes its range is moved off the stack into a vector of exactly the right size.
// Each open container costs one small frame, and at most 512 may be open.
#include "json/json.h"

#include <iterator>
#include <utility>

#include "core/ascii.h"
#include "core/utf.h"

namespace vantrel::json {

namespace {

constexpr std::size_t kMaxOpenContainers = 512;
constexpr char32_t kReplacement = 0xFFFD;

using Byte = unsigned char;

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// What the parser reads, UTF-8 bytes or UTF-16 code units. Plain units are
// taken into a string as they are; every other unit inside a string, apart from
// '"' and '\\', starts a character that Append decodes.
template <typename Unit>
struct Units;

template <>
struct Units<Byte> {
    static bool Plain(Byte c) { return c != '"' && c != '\\' && c < 0x80; }
    static void SkipByteOrderMark(const Byte*& p, const Byte* end) {
        if (end - p >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;
    }
    // The one UTF-8 decoder: an ill-formed sequence gives U+FFFD, and the byte
    // that broke it is read again, so a closing quote is never swallowed.
    static const Byte* Append(const Byte* p, const Byte* end, std::u16string& out) {
        char32_t cp = 0;
        DecodeUtf8(p, end, cp);
        AppendCodePoint(out, cp);
        return p;
    }
};

// UTF-16 text is read as its UTF-8 form would be, without making that form:
// every unit but a surrogate is plain, a surrogate pair is kept and an
// unpaired surrogate becomes U+FFFD.
template <>
struct Units<char16_t> {
    static bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
    static bool Plain(char16_t c) { return c != u'"' && c != u'\\' && !IsSurrogate(c); }
    static void SkipByteOrderMark(const char16_t*& p, const char16_t* end) {
        if (p != end && *p == 0xFEFF) ++p;
    }
    static const char16_t* Append(const char16_t* p, const char16_t* end, std::u16string& out) {
        if (*p <= 0xDBFF && end - p >= 2 && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            out.append(p, 2);
            return p + 2;
        }
        out.push_back(static_cast<char16_t>(kReplacement));
        return p + 1;
    }
};

template <typename Unit>
class Parser {
public:
    Parser(const Unit* begin, const Unit* end) : p_(begin), end_(end) {}

    std::unique_ptr<Value> Run();

private:
    enum class Step { NeedValue, Done, Fail };

    struct Frame {
        bool object;
        std::size_t start;  // where its children begin on their stack
    };

    void SkipWhiteSpace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
    }
    bool Literal(std::string_view word) {
        if (static_cast<std::size_t>(end_ - p_) < word.size()) return false;
        for (char c : word)
            if (*p_++ != static_cast<Unit>(static_cast<unsigned char>(c))) return false;
        return true;
    }
    bool ReadString(std::u16string& out);
    bool ReadEscapedString(const Unit* run, std::u16string& out);
    bool ReadNumber(Value& out);
    bool ReadMemberName();
    Value CloseContainer();
    Step Place(Value&& v);

    const Unit* p_;
    const Unit* end_;
    std::vector<Frame> frames_;
    std::vector<Value> items_;
    std::vector<Member> members_;
    std::u16string text_;     // the string value just read
    std::u16string scratch_;  // where a string with escapes or non-ASCII is assembled
    std::unique_ptr<Value> root_;
};

template <typename Unit>
std::unique_ptr<Value> Parser<Unit>::Run() {
    Units<Unit>::SkipByteOrderMark(p_, end_);
    SkipWhiteSpace();
    for (;;) {
        // A value starts here.
        if (p_ == end_) return nullptr;
        Value v;
        switch (*p_) {
        case '{':
        case '[': {
            if (frames_.size() == kMaxOpenContainers) return nullptr;
            const bool object = *p_ == '{';
            frames_.push_back(Frame{object, object ? members_.size() : items_.size()});
            ++p_;
            SkipWhiteSpace();
            if (p_ < end_ && *p_ == (object ? '}' : ']')) {
                ++p_;
                v = CloseContainer();
                break;
            }
            if (object && !ReadMemberName()) return nullptr;
            continue;
        }
        case '"':
            if (!ReadString(text_)) return nullptr;
            v = Value::String(std::move(text_));
            break;
        case 't':
            if (!Literal("true")) return nullptr;
            v = Value::True();
            break;
        case 'f':
            if (!Literal("false")) return nullptr;
            v = Value::False();
            break;
        case 'n':
            if (!Literal("null")) return nullptr;
            break;
        default:
            if (!ReadNumber(v)) return nullptr;
            break;
        }
        switch (Place(std::move(v))) {
        case Step::NeedValue: continue;
        case Step::Done: return std::move(root_);
        case Step::Fail: return nullptr;
        }
    }
}

// Puts a finished value where it belongs and reads on up to the start of the next
// value, closing every container whose end comes first.
template <typename Unit>
typename Parser<Unit>::Step Parser<Unit>::Place(Value&& v) {
    for (;;) {
        if (frames_.empty()) {
            if (p_ != end_) return Step::Fail;
            root_ = std::make_unique<Value>(std::move(v));
            return Step::Done;
        }
        const bool object = frames_.back().object;
        if (object)
            members_.back().value = std::move(v);
        else
            items_.push_back(std::move(v));
        SkipWhiteSpace();
        if (p_ == end_) return Step::Fail;
        if (*p_ == ',') {
            ++p_;
            SkipWhiteSpace();
            if (object && !ReadMemberName()) return Step::Fail;
            return Step::NeedValue;
        }
        if (*p_ != (object ? '}' : ']')) return Step::Fail;
        ++p_;
        v = CloseContainer();
    }
}

// Ends the innermost container: its children leave their stack for the container's
// own vector. White space after the closing brace or bracket belongs to it.
template <typename Unit>
Value Parser<Unit>::CloseContainer() {
    const Frame frame = frames_.back();
    frames_.pop_back();
    SkipWhiteSpace();
    if (frame.object) {
        const auto first = members_.begin() + static_cast<std::ptrdiff_t>(frame.start);
        std::vector<Member> members(std::make_move_iterator(first), std::make_move_iterator(members_.end()));
        members_.erase(first, members_.end());
        return Value::Object(std::move(members));
    }
    const auto first = items_.begin() + static_cast<std::ptrdiff_t>(frame.start);
    std::vector<Value> items(std::make_move_iterator(first), std::make_move_iterator(items_.end()));
    items_.erase(first, items_.end());
    return Value::Array(std::move(items));
}

// A name, white space, a colon and white space; the member waits on the stack for
// its value. The name is read straight into its place.
template <typename Unit>
bool Parser<Unit>::ReadMemberName() {
    if (p_ == end_ || *p_ != '"') return false;
    members_.emplace_back();
    if (!ReadString(members_.back().name)) return false;
    SkipWhiteSpace();
    if (p_ == end_ || *p_ != ':') return false;
    ++p_;
    SkipWhiteSpace();
    return true;
}

// Reads a string starting at its opening quotation mark into `out`.
template <typename Unit>
bool Parser<Unit>::ReadString(std::u16string& out) {
    ++p_;
    const Unit* run = p_;
    while (p_ < end_ && Units<Unit>::Plain(*p_)) ++p_;
    if (p_ < end_ && *p_ == '"') {
        // Plain units only, the common case: straight into its own string.
        out.assign(run, p_);
        ++p_;
        return true;
    }
    return ReadEscapedString(run, out);
}

// The general case: escapes and encoded characters, assembled in scratch_ from
// `run` (the first unit of the string) on, then copied to `out`.
template <typename Unit>
bool Parser<Unit>::ReadEscapedString(const Unit* run, std::u16string& out) {
    p_ = run;
    scratch_.clear();
    for (;;) {
        run = p_;
        while (p_ < end_ && Units<Unit>::Plain(*p_)) ++p_;
        if (p_ != run) {
            const std::size_t old = scratch_.size();
            scratch_.resize(old + static_cast<std::size_t>(p_ - run));
            char16_t* to = scratch_.data() + old;
            for (const Unit* q = run; q < p_; ++q) *to++ = *q;
        }
        if (p_ == end_) return false;
        const Unit c = *p_;
        if (c == '"') {
            ++p_;
            out = scratch_;
            return true;
        }
        if (c != '\\') {
            p_ = Units<Unit>::Append(p_, end_, scratch_);
            continue;
        }
        // A backslash escape.
        if (end_ - p_ < 2) return false;
        const Unit e = p_[1];
        p_ += 2;
        switch (e) {
        case '"': scratch_.push_back(u'"'); break;
        case '\\': scratch_.push_back(u'\\'); break;
        case '/': scratch_.push_back(u'/'); break;
        case 'b': scratch_.push_back(u'\b'); break;
        case 'f': scratch_.push_back(u'\f'); break;
        case 'n': scratch_.push_back(u'\n'); break;
        case 'r': scratch_.push_back(u'\r'); break;
        case 't': scratch_.push_back(u'\t'); break;
        case 'u': {
            if (end_ - p_ < 4) return false;
            unsigned unit = 0;
            for (int i = 0; i < 4; ++i) {
                const int d = AsciiHexValue(p_[i]);
                if (d < 0) return false;
                unit = unit * 16 + static_cast<unsigned>(d);
            }
            p_ += 4;
            scratch_.push_back(static_cast<char16_t>(unit));
            break;
        }
        default: return false;
        }
    }
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?, kept as its text.
template <typename Unit>
bool Parser<Unit>::ReadNumber(Value& out) {
    const Unit* start = p_;
    if (*p_ == '-') ++p_;
    if (p_ == end_ || !IsAsciiDigit(*p_)) return false;
    if (*p_++ != '0')
        while (p_ < end_ && IsAsciiDigit(*p_)) ++p_;
    if (p_ < end_ && *p_ == '.') {
        ++p_;
        if (p_ == end_ || !IsAsciiDigit(*p_)) return false;
        while (p_ < end_ && IsAsciiDigit(*p_)) ++p_;
    }
    if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
        ++p_;
        if (p_ < end_ && (*p_ == '+' || *p_ == '-')) ++p_;
        if (p_ == end_ || !IsAsciiDigit(*p_)) return false;
        while (p_ < end_ && IsAsciiDigit(*p_)) ++p_;
    }
    out = Value::NumberText(std::u16string(start, p_));
    return true;
}

}  // namespace

std::unique_ptr<Value> ParseUtf8(std::string_view bytes) {
    const auto* begin = reinterpret_cast<const Byte*>(bytes.data());
    return Parser<Byte>(begin, begin + bytes.size()).Run();
}

std::unique_ptr<Value> Parse(std::u16string_view text) {
    return Parser<char16_t>(text.data(), text.data() + text.size()).Run();
}

}  // namespace vantrel::json
