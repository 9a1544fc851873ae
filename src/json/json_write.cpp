// The compact text form, written with an explicit stack of open containers.
#include "json/json.h"

namespace vantrel::json {

namespace {

bool IsPlain(char16_t c) { return c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\' && c != u'/'; }

void AppendUnicodeEscape(std::u16string& out, char16_t c) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    const char16_t escape[6] = {
        u'\\', u'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
    out.append(escape, 6);
}

void WriteString(std::u16string& out, const std::u16string& text, const WriteOptions& options) {
    out.push_back(u'"');
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const char16_t* run = p;
        while (p < end && IsPlain(*p)) ++p;
        out.append(run, static_cast<std::size_t>(p - run));
        if (p == end) break;
        const char16_t c = *p++;
        switch (c) {
        case u'"': out.append(u"\\\""); break;
        case u'\\': out.append(u"\\\\"); break;
        case u'/': out.append(u"\\/"); break;
        case u'\b': out.append(u"\\b"); break;
        case u'\t': out.append(u"\\t"); break;
        case u'\n': out.append(u"\\n"); break;
        case u'\f': out.append(u"\\f"); break;
        case u'\r': out.append(u"\\r"); break;
        default:
            if (c < 0x20 ? options.escape_below_32 : options.escape_above_127)
                AppendUnicodeEscape(out, c);
            else
                out.push_back(c);
            break;
        }
    }
    out.push_back(u'"');
}

struct OpenContainer {
    const Value* container;
    std::size_t next;  // index of the next child to write
};

// Writes a scalar, or the opening of a container (pushed onto `open` unless empty).
void WriteStart(std::u16string& out, const Value& value, const WriteOptions& options,
                std::vector<OpenContainer>& open) {
    switch (value.kind()) {
    case Kind::Object:
        if (value.members().empty()) {
            out.append(u"{}");
        } else {
            out.push_back(u'{');
            open.push_back(OpenContainer{&value, 0});
        }
        break;
    case Kind::Array:
        if (value.items().empty()) {
            out.append(u"[]");
        } else {
            out.push_back(u'[');
            open.push_back(OpenContainer{&value, 0});
        }
        break;
    case Kind::String: WriteString(out, value.text(), options); break;
    case Kind::Number: out.append(value.text()); break;
    case Kind::True: out.append(u"true"); break;
    case Kind::False: out.append(u"false"); break;
    case Kind::Null: out.append(u"null"); break;
    }
}

}  // namespace

void WriteTo(std::u16string& out, const Value& value, WriteOptions options) {
    std::vector<OpenContainer> open;
    WriteStart(out, value, options, open);
    while (!open.empty()) {
        OpenContainer& top = open.back();
        const std::size_t i = top.next++;
        if (top.container->kind() == Kind::Object) {
            const auto& members = top.container->members();
            if (i == members.size()) {
                out.push_back(u'}');
                open.pop_back();
                continue;
            }
            if (i > 0) out.push_back(u',');
            WriteString(out, members[i].name, options);
            out.push_back(u':');
            WriteStart(out, members[i].value, options, open);
        } else {
            const auto& items = top.container->items();
            if (i == items.size()) {
                out.push_back(u']');
                open.pop_back();
                continue;
            }
            if (i > 0) out.push_back(u',');
            WriteStart(out, items[i], options, open);
        }
    }
}

std::u16string Write(const Value& value, WriteOptions options) {
    std::u16string out;
    WriteTo(out, value, options);
    return out;
}

}  // namespace vantrel::json
