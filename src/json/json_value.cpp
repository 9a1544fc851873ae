// The value tree: storage, moves, safe destruction of deep trees, adds and look-ups.
#include "json/json.h"

#include <charconv>
#include <memory>
#include <utility>

#include "core/ascii.h"

namespace vantrel::json {

namespace {

bool IsNonEmptyContainer(const Value& v) noexcept {
    return (v.kind() == Kind::Array && !v.items().empty()) ||
           (v.kind() == Kind::Object && !v.members().empty());
}

bool HasNestedContainer(const Value& v) noexcept {
    for (const Value& item : v.items())
        if (IsNonEmptyContainer(item)) return true;
    for (const Member& m : v.members())
        if (IsNonEmptyContainer(m.value)) return true;
    return false;
}

// Containers nested deeper than this below the one being freed are freed by a work
// list instead of by recursion, which bounds the stack that freeing any tree needs.
constexpr int kRecursiveFreeDepth = 64;
thread_local int free_depth = 0;

}  // namespace

// Ordinary trees are freed by plain recursion, which is fastest. Below a depth of
// kRecursiveFreeDepth every non-empty container child is moved onto a work list
// instead, and each one taken off the list gives up its own container children the
// same way before it is freed, so recursion never goes deeper than that.
// GCC 12 cannot see through the kind-tagged union that `v` below always holds a
// container once moved from the work list, and warns at -O2.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
void Value::DestroyContainer() noexcept {
    if (free_depth >= kRecursiveFreeDepth && HasNestedContainer(*this)) {
        std::vector<Value> pending;
        auto take_nested = [&pending](Value& v) {
            if (v.kind_ == Kind::Array) {
                for (Value& item : v.s_.items)
                    if (IsNonEmptyContainer(item)) pending.push_back(std::move(item));
            } else {
                for (Member& m : v.s_.members)
                    if (IsNonEmptyContainer(m.value)) pending.push_back(std::move(m.value));
            }
        };
        take_nested(*this);
        while (!pending.empty()) {
            Value v(std::move(pending.back()));
            pending.pop_back();
            take_nested(v);
        }
    }
    ++free_depth;
    if (kind_ == Kind::Array)
        std::destroy_at(&s_.items);
    else
        std::destroy_at(&s_.members);
    --free_depth;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

Value Value::Object() { return Object(std::vector<Member>()); }

Value Value::Object(std::vector<Member> members) {
    Value v;
    std::construct_at(&v.s_.members, std::move(members));
    v.kind_ = Kind::Object;
    return v;
}

Value Value::Array() { return Array(std::vector<Value>()); }

Value Value::Array(std::vector<Value> items) {
    Value v;
    std::construct_at(&v.s_.items, std::move(items));
    v.kind_ = Kind::Array;
    return v;
}

Value Value::String(std::u16string text) {
    Value v;
    std::construct_at(&v.s_.text, std::move(text));
    v.kind_ = Kind::String;
    return v;
}

Value Value::NumberText(std::u16string text) {
    Value v;
    std::construct_at(&v.s_.text, std::move(text));
    v.kind_ = Kind::Number;
    return v;
}

Value Value::Number(std::int32_t number) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    return NumberText(std::u16string(digits, result.ptr));
}

Value& Value::AddMember(std::u16string name, Value tree) & {
    if (kind_ == Kind::Object && !name.empty())
        s_.members.push_back(Member{std::move(name), std::move(tree)});
    return *this;
}

Value& Value::AddMember(std::u16string name, std::unique_ptr<Value> tree) & {
    if (tree) AddMember(std::move(name), std::move(*tree));
    return *this;
}

Value& Value::AddMember(std::u16string name, std::u16string text) & {
    if (kind_ == Kind::Object && !name.empty())
        s_.members.push_back(Member{std::move(name), String(std::move(text))});
    return *this;
}

Value& Value::AddMember(std::u16string name, std::int32_t number) & {
    if (kind_ == Kind::Object && !name.empty()) s_.members.push_back(Member{std::move(name), Number(number)});
    return *this;
}

Value& Value::AddItem(Value item) & {
    if (kind_ == Kind::Array) s_.items.push_back(std::move(item));
    return *this;
}

const Value* Value::MemberByName(std::u16string_view name) const noexcept {
    if (kind_ != Kind::Object) return nullptr;
    for (const Member& m : s_.members)
        if (m.name == name) return &m.value;
    return nullptr;
}

const Value* FindByPath(const Value* value, std::u16string_view path) noexcept {
    std::size_t pos = 0;
    bool first = true;
    while (value != nullptr && pos < path.size()) {
        if (path[pos] == u'[') {
            // Index step: decimal digits and a closing bracket.
            ++pos;
            const std::size_t digits_start = pos;
            std::size_t index = 0;
            bool too_big = false;
            while (pos < path.size() && IsAsciiDigit(path[pos])) {
                if (index > (SIZE_MAX - 9) / 10)
                    too_big = true;
                else
                    index = index * 10 + static_cast<std::size_t>(path[pos] - u'0');
                ++pos;
            }
            if (pos == digits_start || pos == path.size() || path[pos] != u']') return nullptr;
            ++pos;
            if (value->kind() != Kind::Array || too_big || index >= value->items().size()) return nullptr;
            value = &value->items()[index];
        } else {
            // Name step: the first step starts right away, a later one after its '.'.
            if (!first) {
                if (path[pos] != u'.') return nullptr;
                ++pos;
            }
            std::size_t end = pos;
            while (end < path.size() && path[end] != u'.' && path[end] != u'[') ++end;
            value = value->MemberByName(path.substr(pos, end - pos));
            pos = end;
        }
        first = false;
    }
    return value;
}

}  // namespace vantrel::json
