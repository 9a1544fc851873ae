// libFuzzer target for the whole way a request comes in: bytes on standard input
// or in a request file, read as lines, then parsed as the request document.
//
// The first byte chooses where the bytes come from (standard input or a request
// file), how they are decoded (a Latin-1 stand-in for an 8-bit code page, UTF-8,
// or the real POSIX decoding) and how the input ends (its end, a broken pipe, a
// read error); the rest is the input. For any bytes: the lines hold no line
// break, there is one per LF plus one for a non-empty rest, and with the Latin-1
// stand-in they are the bytes before the first byte 26 without CR and LF; the
// request read gives an object or nothing, or fails only with the tool's own
// input and type failures; a read error that comes after a byte 26 is never seen.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "json/json.h"
#include "testing/fake_platform.h"
#include "request/principal.h"
#include "request/standard_streams.h"

namespace {

using vantrel::platform::CodePage;
using vantrel::platform::FakeConsole;
using vantrel::platform::ReadResult;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "request_fuzz: %s\n", what);
        std::abort();
    }
}

// The fake locale, decoding with the real code-page conversion when asked to.
class Locale : public vantrel::platform::FakeLocale {
public:
    bool real_decode = false;
    std::u16string Decode(CodePage code_page, std::string_view bytes) override {
        if (real_decode) return vantrel::platform::RealLocale().Decode(code_page, bytes);
        return FakeLocale::Decode(code_page, bytes);
    }
};

// A console and a file store that serve the request.
struct Console {
    Locale locale;
    FakeConsole console{locale};
    vantrel::platform::FakeFileSystem files;
};

constexpr char16_t kRequestFile[] = u"C:\\Work\\request.json";

// A console that serves `input` as chosen by `options`.
void SetUp(Console& console, std::uint8_t options, const std::string& input) {
    const bool from_file = options & 1;
    switch ((options >> 1) & 3) {
    case 0: console.locale.ansi = 1252; break;
    case 1: console.locale.ansi = vantrel::platform::FakeLocale::kUtf8; break;
    default: console.locale.real_decode = true; break;
    }
    if (from_file) {
        console.files.Put(kRequestFile, input);
    } else {
        console.console.stdin_bytes = input;
        switch ((options >> 3) & 3) {
        case 0: console.console.stdin_ending = {ReadResult::Status::End, 0, 0}; break;
        case 1: console.console.stdin_ending = {ReadResult::Status::BrokenPipe, 0, 0}; break;
        default:
            console.console.stdin_ending = {ReadResult::Status::Error, 0,
                                            static_cast<std::uint32_t>(options >> 5)};
            break;
        }
    }
}

// A read error ends standard input only when no byte 26 ended it before.
bool ReadFails(std::uint8_t options, std::string_view input) {
    return !(options & 1) && ((options >> 3) & 3) >= 2 && input.find('\x1A') == std::string_view::npos;
}

void CheckLines(const std::vector<std::u16string>& lines, std::uint8_t options, std::string_view input) {
    const std::string_view text = input.substr(0, input.find('\x1A'));
    const std::size_t lf = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    const bool rest = !text.empty() && text.back() != '\n';
    Check(lines.size() == lf + (rest ? 1 : 0), "one line per LF and one for the rest");
    for (const std::u16string& line : lines) {
        Check(line.find_first_of(u"\r\n") == std::u16string::npos, "a line holds a line break");
    }
    if (((options >> 1) & 3) == 0) {
        std::u16string joined, expected;
        for (const std::u16string& line : lines) joined += line;
        for (char c : text) {
            if (c != '\r' && c != '\n') expected += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
        Check(joined == expected, "lines are not the input without its line breaks");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t options = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    // The line reading alone.
    {
        Console console;
        SetUp(console, options, input);
        vantrel::request::StandardStreams streams(console.console, console.files, console.locale);
        if (options & 1) streams.RedirectInput(kRequestFile);
        try {
            std::vector<std::u16string> lines = streams.ReadLines();
            Check(!ReadFails(options, input), "a failed read gave lines");
            CheckLines(lines, options, input);
        } catch (const vantrel::Error& e) {
            Check(ReadFails(options, input) && e.kind() == u"EInOutError", "an unexpected read failure");
        }
    }

    // The request read as the request cycle does it, and its kind.
    vantrel::platform::FakePlatform fake;
    Console console;
    SetUp(console, options, input);
    vantrel::platform::Platform sys =
        fake.With(fake.process, console.locale, console.console, console.files, fake.clock);
    vantrel::request::StandardStreams streams(console.console, console.files, console.locale);
    if (options & 1) streams.RedirectInput(kRequestFile);
    vantrel::request::TPrincipal principal(sys, streams);
    try {
        principal.LerSolicitacao();
        Check(principal.JsEntrada == nullptr || principal.JsEntrada->kind() == vantrel::json::Kind::Object,
              "a request that is no object");
    } catch (const vantrel::Error& e) {
        Check(e.kind() == (ReadFails(options, input) ? u"EInOutError" : u"EInvalidCast"),
              "an unexpected request failure");
        Check(principal.JsEntrada == nullptr || ReadFails(options, input),
              "a request kept after a failed parse");
    }
    std::int32_t kind = 0;
    vantrel::request::TentaObterInteiro(principal.JsEntrada.get(), u"solicitacao", kind);
    return 0;
}
