// The JSON document model: a tree of values, the parse that builds one from text,
// member adds and look-ups, conversions to text and to integer, deep copy and the
// compact text form.
//
// Every tree is owned by value: a container holds its children directly (objects as a
// vector of members, arrays as a vector of values), so a node costs no heap block of
// its own beyond what its container and its text need. Values are move-only; the one
// deep copy is Copy().
//
// Stack use is bounded whatever the depth of a tree (parsed trees are at most 512
// deep; trees built with AddMember/AddItem can be far deeper): parse, write, copy and
// path look-up walk the tree with explicit stacks, and freeing recurses at most 64
// levels before it switches to a work list.
//
// Failures are thrown as vantrel::Error with the kind names and messages of the
// output format. Parse never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel::json {

enum class Kind : std::uint8_t { Object, Array, String, Number, True, False, Null };

struct Member;

class Value {
public:
    // A null value.
    Value() noexcept : kind_(Kind::Null) {}
    ~Value() { Destroy(); }

    // A moved-from value is null.
    Value(Value&& other) noexcept { MoveFrom(other); }
    // Safe even when `other` lives inside this value's own tree.
    Value& operator=(Value&& other) noexcept;
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;

    static Value Object();
    static Value Object(std::vector<Member> members);
    static Value Array();
    static Value Array(std::vector<Value> items);
    // The text unchanged; an empty text gives an empty string.
    static Value String(std::u16string text);
    // The decimal text of the integer: minus sign when negative, no plus sign, no
    // leading zeros.
    static Value Number(std::int32_t number);
    // A number holding exactly this text. The text is not checked; it is written out
    // as it is, so it should follow the JSON number grammar.
    static Value NumberText(std::u16string text);
    static Value Bool(bool b) noexcept { return b ? True() : False(); }
    static Value True() noexcept { return Value(Kind::True); }
    static Value False() noexcept { return Value(Kind::False); }
    static Value Null() noexcept { return Value(); }

    Kind kind() const noexcept { return kind_; }
    bool IsContainer() const noexcept { return kind_ == Kind::Object || kind_ == Kind::Array; }

    // The text of a string or a number; empty for every other kind.
    const std::u16string& text() const noexcept;
    // The members of an object in their order; empty for every other kind.
    const std::vector<Member>& members() const noexcept;
    // The items of an array in their order; empty for every other kind.
    const std::vector<Value>& items() const noexcept;

    // Appends a member to this object and gives the object back, so adds chain (on a
    // temporary too: Value::Object().AddMember(...).AddMember(...) is an rvalue).
    // Nothing is added (and nothing fails) when the name is empty or when this value
    // is not an object. The tree form takes a value of any kind; "no tree" is a null
    // std::unique_ptr (or nullptr), which adds nothing.
    Value& AddMember(std::u16string name, Value tree) &;
    Value& AddMember(std::u16string name, std::unique_ptr<Value> tree) &;
    Value& AddMember(const std::u16string&, std::nullptr_t) & noexcept { return *this; }
    Value& AddMember(std::u16string name, std::u16string text) &;
    Value& AddMember(std::u16string name, const char16_t* text) & {
        return AddMember(std::move(name), std::u16string(text));
    }
    Value& AddMember(std::u16string name, std::int32_t number) &;

    template <typename T>
    Value&& AddMember(std::u16string name, T&& value) && {
        return std::move(AddMember(std::move(name), std::forward<T>(value)));
    }

    // Appends an item to this array and gives the array back; nothing is added when
    // this value is not an array.
    Value& AddItem(Value item) &;
    Value&& AddItem(Value item) && { return std::move(AddItem(std::move(item))); }

    // The value of the first member whose name equals `name` code unit for code unit,
    // or nullptr (also when this value is not an object).
    const Value* MemberByName(std::u16string_view name) const noexcept;

private:
    // Only for the kinds without storage: true, false, null.
    explicit Value(Kind kind) noexcept : kind_(kind) {}
    void MoveFrom(Value& other) noexcept;
    void Destroy() noexcept;
    void DestroyContainer() noexcept;

    union Storage {
        Storage() noexcept {}
        ~Storage() {}
        std::u16string text;
        std::vector<Value> items;
        std::vector<Member> members;
    };

    Kind kind_;
    Storage s_;
};

struct Member {
    std::u16string name;
    Value value;
};

// Moves and destruction of scalars are on every path of the parse; they stay inline.

inline void Value::MoveFrom(Value& other) noexcept {
    kind_ = other.kind_;
    switch (kind_) {
    case Kind::String:
    case Kind::Number:
        std::construct_at(&s_.text, std::move(other.s_.text));
        std::destroy_at(&other.s_.text);
        break;
    case Kind::Array:
        std::construct_at(&s_.items, std::move(other.s_.items));
        std::destroy_at(&other.s_.items);
        break;
    case Kind::Object:
        std::construct_at(&s_.members, std::move(other.s_.members));
        std::destroy_at(&other.s_.members);
        break;
    case Kind::True:
    case Kind::False:
    case Kind::Null: break;
    }
    other.kind_ = Kind::Null;
}

inline void Value::Destroy() noexcept {
    switch (kind_) {
    case Kind::String:
    case Kind::Number: std::destroy_at(&s_.text); break;
    case Kind::Array:
    case Kind::Object: DestroyContainer(); break;
    case Kind::True:
    case Kind::False:
    case Kind::Null: break;
    }
    kind_ = Kind::Null;
}

inline Value& Value::operator=(Value&& other) noexcept {
    if (this == &other) return *this;
    if (IsContainer()) {
        // `other` may sit inside this tree: take it out before this tree goes.
        Value taken(std::move(other));
        Destroy();
        MoveFrom(taken);
    } else {
        Destroy();
        MoveFrom(other);
    }
    return *this;
}

inline const std::u16string& Value::text() const noexcept {
    static const std::u16string empty;
    return (kind_ == Kind::String || kind_ == Kind::Number) ? s_.text : empty;
}

inline const std::vector<Member>& Value::members() const noexcept {
    static const std::vector<Member> empty;
    return kind_ == Kind::Object ? s_.members : empty;
}

inline const std::vector<Value>& Value::items() const noexcept {
    static const std::vector<Value> empty;
    return kind_ == Kind::Array ? s_.items : empty;
}

// Parses JSON text. The text is taken as UTF-8: Parse reads the code units exactly
// as ParseUtf8 reads their UTF-8 form (an unpaired surrogate becoming U+FFFD),
// without making that form. Inside strings, bytes that are not valid UTF-8 become U+FFFD
// (one per maximal ill-formed subsequence) and characters beyond U+FFFF arrive as
// surrogate pairs. A UTF-8 byte-order mark at the very start is skipped.
//
// Returns nullptr for every text that is not accepted. Running out of memory is
// not a property of the text: it leaves as std::bad_alloc. Rules: white space is TAB, LF, CR and SPACE only;
// it is skipped before the value, around tokens inside containers and after the closing brace or bracket of
// every container, but not after a top-level scalar ("5" parses, "5 " does not, "{}\r\n" does). Raw control
// characters inside strings are kept. Trailing commas are refused. At most 512 objects and arrays may be open
// at once.
std::unique_ptr<Value> Parse(std::u16string_view text);
std::unique_ptr<Value> ParseUtf8(std::string_view bytes);

// Follows a path of steps from `value`: a member name (running up to the next '.' or
// '[') or an index in brackets ("[0]"). Steps after the first are introduced by '.'
// (a name) or '[' (an index); a name may be empty. A name step needs an object and
// takes its first member of that name; an index step needs an array and an index
// below its length. The empty path gives `value` itself. A step that cannot be taken
// gives nullptr, and so does a null `value`.
const Value* FindByPath(const Value* value, std::u16string_view path) noexcept;

// String: its text. Number: its stored text. true/false: "true"/"false". Null: the
// empty text. Object, array: EJSONException "Conversion from TJSONObject to string is
// not supported" (TJSONArray for an array).
std::u16string ToText(const Value& value);

// String, number: the text read by the integer-text rule (core/integer_text.h),
// else EConvertError "'<text>' is not a valid integer value". true: 1, false: 0.
// Null, object, array: EJSONException "Conversion from TJSONNull to Integer is not
// supported" (TJSONObject, TJSONArray).
std::int32_t ToInteger(const Value& value);

// An independent deep copy: same kinds, order and texts. Each number's text is read as
// a double (point as decimal separator, whatever the locale) on the way; a text that
// is not a decimal number, or one beyond the range of a double (overflow; underflow
// such as 1e-400 is fine), fails with EConvertError
// "'<text>' is not a valid floating point value".
Value Copy(const Value& value);

struct WriteOptions {
    // Escape the code units below U+0020 that have no short escape as \u00XX.
    bool escape_below_32 = true;
    // Escape every code unit above U+007F as \uXXXX.
    bool escape_above_127 = true;
};

// The compact text form: no white space, no line break after it; '"', '\' and '/'
// escaped; \b \t \n \f \r short escapes; \u escapes with upper-case hex digits. With
// both options on the text is pure ASCII.
std::u16string Write(const Value& value, WriteOptions options = {});
// Appends the compact text form to `out`.
void WriteTo(std::u16string& out, const Value& value, WriteOptions options = {});

}  // namespace vantrel::json
