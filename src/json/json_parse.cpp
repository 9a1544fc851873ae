// The parse: JSON text (UTF-8 bytes) to a value tree.
//
// The parser is a loop over an explicit stack, never a recursion: finished values
// wait on one stack of array items and one of object members, and when a container
// closes its range is moved off the stack into a vector of exactly the right size.
// Each open container costs one small frame, and at most 512 may be open.
#include "json/json.h"

#include <iterator>
#include <utility>

namespace vantrel::json {

namespace {

constexpr std::size_t kMaxOpenContainers = 512;
constexpr char32_t kReplacement = 0xFFFD;

using Byte = unsigned char;

bool IsDigit(Byte c) { return c >= '0' && c <= '9'; }

int HexDigit(Byte c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsContinuation(Byte c) { return (c & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence starting at a byte of 0x80 or above. An ill-formed
// sequence gives U+FFFD and consumes its maximal well-formed prefix (at least one
// byte), so the byte that broke it is read again as the start of what follows.
const Byte* DecodeUtf8(const Byte* p, const Byte* end, char32_t& out) {
    const Byte lead = *p;
    int trail;
    Byte low = 0x80, high = 0xBF;  // bounds of the first continuation byte
    char32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        out = kReplacement;
        return p + 1;
    }
    ++p;
    for (int i = 0; i < trail; ++i, ++p) {
        const bool ok = p < end && (i == 0 ? (*p >= low && *p <= high) : IsContinuation(*p));
        if (!ok) {
            out = kReplacement;
            return p;
        }
        cp = (cp << 6) | (*p & 0x3F);
    }
    out = cp;
    return p;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

class Parser {
public:
    Parser(const Byte* begin, const Byte* end) : p_(begin), end_(end) {}

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
            if (*p_++ != static_cast<Byte>(c)) return false;
        return true;
    }
    bool ReadString();
    bool ReadEscapedString(const Byte* run);
    bool ReadNumber(Value& out);
    bool ReadMemberName();
    Value CloseContainer();
    Step Place(Value&& v);

    const Byte* p_;
    const Byte* end_;
    std::vector<Frame> frames_;
    std::vector<Value> items_;
    std::vector<Member> members_;
    std::u16string text_;     // the string just read
    std::u16string scratch_;  // where a string with escapes or non-ASCII is assembled
    std::unique_ptr<Value> root_;
};

std::unique_ptr<Value> Parser::Run() {
    if (end_ - p_ >= 3 && p_[0] == 0xEF && p_[1] == 0xBB && p_[2] == 0xBF) p_ += 3;
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
            if (!ReadString()) return nullptr;
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
        case Step::NeedValue:
            continue;
        case Step::Done:
            return std::move(root_);
        case Step::Fail:
            return nullptr;
        }
    }
}

// Puts a finished value where it belongs and reads on up to the start of the next
// value, closing every container whose end comes first.
Parser::Step Parser::Place(Value&& v) {
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
Value Parser::CloseContainer() {
    const Frame frame = frames_.back();
    frames_.pop_back();
    SkipWhiteSpace();
    if (frame.object) {
        const auto first = members_.begin() + static_cast<std::ptrdiff_t>(frame.start);
        std::vector<Member> members(std::make_move_iterator(first),
                                    std::make_move_iterator(members_.end()));
        members_.erase(first, members_.end());
        return Value::Object(std::move(members));
    }
    const auto first = items_.begin() + static_cast<std::ptrdiff_t>(frame.start);
    std::vector<Value> items(std::make_move_iterator(first), std::make_move_iterator(items_.end()));
    items_.erase(first, items_.end());
    return Value::Array(std::move(items));
}

// A name, white space, a colon and white space; the member waits on the stack for
// its value.
bool Parser::ReadMemberName() {
    if (p_ == end_ || *p_ != '"' || !ReadString()) return false;
    SkipWhiteSpace();
    if (p_ == end_ || *p_ != ':') return false;
    ++p_;
    SkipWhiteSpace();
    members_.push_back(Member{std::move(text_), Value()});
    return true;
}

bool IsPlainStringByte(Byte c) { return c != '"' && c != '\\' && c < 0x80; }

// Reads a string starting at its opening quotation mark into text_.
bool Parser::ReadString() {
    ++p_;
    const Byte* run = p_;
    while (p_ < end_ && IsPlainStringByte(*p_)) ++p_;
    if (p_ < end_ && *p_ == '"') {
        // Plain ASCII, the common case: widened straight into its own string.
        text_ = std::u16string(run, p_);
        ++p_;
        return true;
    }
    return ReadEscapedString(run);
}

// The general case: escapes and UTF-8 sequences, assembled in scratch_ from `run`
// (the first byte of the string) on.
bool Parser::ReadEscapedString(const Byte* run) {
    p_ = run;
    scratch_.clear();
    for (;;) {
        run = p_;
        while (p_ < end_ && IsPlainStringByte(*p_)) ++p_;
        if (p_ != run) {
            const std::size_t old = scratch_.size();
            scratch_.resize(old + static_cast<std::size_t>(p_ - run));
            char16_t* out = scratch_.data() + old;
            for (const Byte* q = run; q < p_; ++q) *out++ = *q;
        }
        if (p_ == end_) return false;
        const Byte c = *p_;
        if (c == '"') {
            ++p_;
            text_ = scratch_;
            return true;
        }
        if (c >= 0x80) {
            char32_t cp;
            p_ = DecodeUtf8(p_, end_, cp);
            AppendCodePoint(scratch_, cp);
            continue;
        }
        // A backslash escape.
        if (end_ - p_ < 2) return false;
        const Byte e = p_[1];
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
                const int d = HexDigit(p_[i]);
                if (d < 0) return false;
                unit = unit * 16 + static_cast<unsigned>(d);
            }
            p_ += 4;
            scratch_.push_back(static_cast<char16_t>(unit));
            break;
        }
        default:
            return false;
        }
    }
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?, kept as its text.
bool Parser::ReadNumber(Value& out) {
    const Byte* start = p_;
    if (*p_ == '-') ++p_;
    if (p_ == end_ || !IsDigit(*p_)) return false;
    if (*p_++ != '0')
        while (p_ < end_ && IsDigit(*p_)) ++p_;
    if (p_ < end_ && *p_ == '.') {
        ++p_;
        if (p_ == end_ || !IsDigit(*p_)) return false;
        while (p_ < end_ && IsDigit(*p_)) ++p_;
    }
    if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
        ++p_;
        if (p_ < end_ && (*p_ == '+' || *p_ == '-')) ++p_;
        if (p_ == end_ || !IsDigit(*p_)) return false;
        while (p_ < end_ && IsDigit(*p_)) ++p_;
    }
    out = Value::NumberText(std::u16string(start, p_));
    return true;
}

}  // namespace

std::unique_ptr<Value> ParseUtf8(std::string_view bytes) noexcept {
    try {
        const auto* begin = reinterpret_cast<const Byte*>(bytes.data());
        return Parser(begin, begin + bytes.size()).Run();
    } catch (const std::exception&) {
        // Out of memory: no value, as for any text that cannot be taken.
        return nullptr;
    }
}

std::unique_ptr<Value> Parse(std::u16string_view text) noexcept {
    try {
        return ParseUtf8(ToUtf8(text));
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace vantrel::json
