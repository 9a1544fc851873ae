#include "core/trace.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace vantrel::trace {

namespace {

struct State {
    std::unique_ptr<Sink> sink;
    Milliseconds milliseconds;
    std::uint64_t start = 0;
    std::vector<std::u16string> secrets;
};

State& TheState() {
    static State state;
    return state;
}

}  // namespace

void Start(std::unique_ptr<Sink> sink, Milliseconds milliseconds) {
    Stop();
    if (!sink || !milliseconds) return;
    State& state = TheState();
    state.start = milliseconds();
    state.milliseconds = std::move(milliseconds);
    state.sink = std::move(sink);
}

void Stop() {
    State& state = TheState();
    state.sink.reset();
    state.milliseconds = nullptr;
    state.secrets.clear();
}

bool On() { return TheState().sink != nullptr; }

void Line(std::string_view step, std::u16string_view text) {
    State& state = TheState();
    if (!state.sink) return;
    std::u16string shown(text);
    for (const std::u16string& secret : state.secrets) shown = Masked(shown, secret);
    const auto elapsed = static_cast<std::uint32_t>(state.milliseconds() - state.start);
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%5u ", static_cast<unsigned>(elapsed));
    std::string line = stamp;
    line += step;
    line += ": ";
    line += PlainAscii(shown);
    state.sink->Write(line);
}

void Conceal(std::u16string_view secret) {
    State& state = TheState();
    if (!state.sink || secret.empty()) return;
    state.secrets.emplace_back(secret);
}

std::u16string Masked(std::u16string_view text, std::u16string_view secret) {
    if (secret.empty()) return std::u16string(text);
    std::u16string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(secret); at != std::u16string_view::npos; at = text.find(secret, from)) {
        out.append(text.substr(from, at - from));
        out.append(u"***");
        from = at + secret.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string PlainAscii(std::u16string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
        }
    }
    return out;
}

}  // namespace vantrel::trace
