// The JSON code against RapidJSON, on the same generated document:
//
//   vantrel_bench_json <scratch folder> [rounds]
//
// Ours: json::Parse of the text as the tool hands it over (the request bytes
// decoded to UTF-16 as the console reads them; the decoding is timed apart, it
// is not the JSON code's work), then json::Write. RapidJSON: the same bytes parsed with transcoding
// into a UTF-16 document, numbers kept as text, written as UTF-16 text. On
// Linux wchar_t is 32 bits wide, so the document's code unit is char16_t (what
// UTF16<> is on Windows). Times are medians of interleaved rounds in this
// process; peak memory is that of one child process per library and size
// (/usr/bin/time -v), which reads the file and does the same work once.
//
//   vantrel_bench_json once <ours|rapidjson> <file>
//
// is that child, and
//
//   vantrel_bench_json generate <MB> <file>
//
// writes the document of that size, for looking closer (perf, heaptrack).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "core/utf.h"
#include "json/json.h"
#include "measure.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

// A document of at least `bytes` bytes: an array of records with every kind of
// value, escapes, text beyond ASCII (two, three and four UTF-8 bytes), numbers
// of all forms and some nesting.
std::string Generate(std::size_t bytes) {
    std::string text = "[";
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    static const char* const kWords[] = {
        "caf\xC3\xA9", "pre\xC3\xA7o", "\xE2\x82\xAC\x35", "\xF0\x9F\x98\x80", "line\\nbreak",
        "tab\\there",  "quote\\\"d",   "path\\/to",        "\\u00e9t\\u00E9",  "plain"};
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        if (i > 0) text += ',';
        const std::uint32_t r = next();
        text += "{\"id\":" + std::to_string(i) + ",\"name\":\"Record " + kWords[r % 10] + " " +
                kWords[(r >> 8) % 10] + "\",\"price\":" + std::to_string(r % 100000) + "." +
                std::to_string(r % 97) + "e-" + std::to_string(r % 5) + ",\"ratio\":-0." +
                std::to_string(r % 1000) + ",\"active\":" + ((r & 1) ? "true" : "false") +
                ",\"note\":null,\"tags\":[\"" + kWords[(r >> 4) % 10] + "\",\"" + kWords[(r >> 12) % 10] +
                "\",42,[]],\"address\":{\"street\":\"Rua " + std::to_string(r % 999) +
                "\",\"city\":\"S\xC3\xA3o Paulo\",\"zip\":\"0" + std::to_string(r % 99999) + "\"}}";
    }
    text += "]";
    return text;
}

struct Timing {
    double decode = 0;  // ours: the bytes to UTF-16 text, before Parse
    double parse = 0;
    double write = 0;
    std::size_t written = 0;  // code units, so that nothing is left out
};

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

Timing Ours(const std::string& bytes) {
    Timing t;
    auto start = Clock::now();
    const std::u16string text = Utf8ToUtf16(bytes);
    t.decode = Since(start);
    start = Clock::now();
    std::unique_ptr<json::Value> value = json::Parse(text);
    t.parse = Since(start);
    if (!value) throw std::runtime_error("json::Parse refused the document");
    start = Clock::now();
    const std::u16string out = json::Write(*value);
    t.write = Since(start);
    t.written = out.size();
    return t;
}

using Utf16 = rapidjson::UTF16<char16_t>;

Timing Rapid(const std::string& bytes) {
    Timing t;
    auto start = Clock::now();
    rapidjson::GenericDocument<Utf16> document;
    document.Parse<rapidjson::kParseNumbersAsStringsFlag, rapidjson::UTF8<>>(bytes.data(), bytes.size());
    t.parse = Since(start);
    if (document.HasParseError()) throw std::runtime_error("RapidJSON refused the document");
    start = Clock::now();
    rapidjson::GenericStringBuffer<Utf16> buffer;
    rapidjson::Writer<rapidjson::GenericStringBuffer<Utf16>, Utf16, Utf16> writer(buffer);
    document.Accept(writer);
    t.write = Since(start);
    t.written = buffer.GetSize() / sizeof(char16_t);
    return t;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Result {
    bench::Stats ours, rapid, ours_parse, ours_write, rapid_parse, rapid_write, decode;
};

Result Measure(const std::string& bytes, int rounds) {
    std::vector<double> ours, rapid, ours_parse, ours_write, rapid_parse, rapid_write, decode;
    for (int round = 0; round < rounds; ++round) {
        // Each library goes first in every other round.
        for (int k = 0; k < 2; ++k) {
            if ((round + k) % 2 == 0) {
                Timing t = Ours(bytes);
                ours.push_back(t.parse + t.write);
                ours_parse.push_back(t.parse);
                ours_write.push_back(t.write);
                decode.push_back(t.decode);
            } else {
                Timing t = Rapid(bytes);
                rapid.push_back(t.parse + t.write);
                rapid_parse.push_back(t.parse);
                rapid_write.push_back(t.write);
            }
        }
    }
    return {bench::Summarize(ours),       bench::Summarize(rapid),       bench::Summarize(ours_parse),
            bench::Summarize(ours_write), bench::Summarize(rapid_parse), bench::Summarize(rapid_write),
            bench::Summarize(decode)};
}

int misses = 0;

void Count(bool pass) {
    if (!pass) ++misses;
}

int Once(const std::string& library, const std::string& path) {
    const std::string bytes = ReadFile(path);
    const Timing t = library == "ours" ? Ours(bytes) : Rapid(bytes);
    return t.written > 0 ? 0 : 1;
}

std::string SelfPath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) throw std::runtime_error("cannot find this program's path");
    return std::string(buffer, static_cast<std::size_t>(n));
}

int Bench(const std::string& scratch, int rounds) {
    constexpr std::size_t kMB = 1000 * 1000;
    const std::size_t sizes[2] = {20 * kMB, 200 * kMB};
    const int rounds_at[2] = {rounds, 3};
    Result results[2];
    double peaks[2][2] = {};
    const std::string self = SelfPath();
    for (int s = 0; s < 2; ++s) {
        const std::string bytes = Generate(sizes[s]);
        const std::string file = scratch + "/document-" + std::to_string(sizes[s] / kMB) + "MB.json";
        WriteFile(file, bytes);
        std::printf("\n== 4%c. JSON, %.1f MB document: parse and write (%d interleaved rounds)\n",
                    s == 0 ? 'a' : 'b', static_cast<double>(bytes.size()) / kMB, rounds_at[s]);
        results[s] = Measure(bytes, rounds_at[s]);
        const Result& r = results[s];
        bench::PrintStats("ours (Parse + Write)", r.ours, 1e3, "ms");
        bench::PrintStats("  Parse of the UTF-16 text", r.ours_parse, 1e3, "ms");
        bench::PrintStats("  Write", r.ours_write, 1e3, "ms");
        bench::PrintStats("  (before: bytes to UTF-16 text)", r.decode, 1e3, "ms");
        bench::PrintStats("RapidJSON (Parse + Accept)", r.rapid, 1e3, "ms");
        bench::PrintStats("  Parse", r.rapid_parse, 1e3, "ms");
        bench::PrintStats("  Writer", r.rapid_write, 1e3, "ms");
        if (s == 0) {
            Count(bench::PrintRatio("ours / RapidJSON", r.ours.median / r.rapid.median, 2.0));
        } else {
            std::printf("  %-34s ratio %6.2f\n", "ours / RapidJSON", r.ours.median / r.rapid.median);
        }

        const std::vector<bench::Command> children = {
            {"ours, peak RSS", {self, "once", "ours", file}, bench::EnvironmentWith({}), scratch},
            {"RapidJSON, peak RSS", {self, "once", "rapidjson", file}, bench::EnvironmentWith({}), scratch}};
        const auto samples = bench::InterleavePeakRss(children, 1);
        for (int k = 0; k < 2; ++k) {
            peaks[s][k] = samples[k][0];
            bench::PrintStats(children[k].name, bench::Summarize(samples[k]), 1.0 / 1024, "MiB");
        }
        std::remove(file.c_str());
    }
    // The absolute growth moves with the machine's load; RapidJSON's growth in
    // the same run is the yardstick.
    const double time_growth[2] = {results[1].ours.median / results[0].ours.median,
                                   results[1].rapid.median / results[0].rapid.median};
    const double peak_growth[2] = {peaks[1][0] / peaks[0][0], peaks[1][1] / peaks[0][1]};
    std::printf("\n== 4c. JSON growth, 200 MB against 20 MB, ours against RapidJSON's\n");
    std::printf("  %-34s ours x%.2f  RapidJSON x%.2f\n", "time, 200 MB / 20 MB", time_growth[0],
                time_growth[1]);
    std::printf("  %-34s ours x%.2f  RapidJSON x%.2f\n", "peak RSS, 200 MB / 20 MB", peak_growth[0],
                peak_growth[1]);
    Count(bench::PrintRatio("time growth / RapidJSON's", time_growth[0] / time_growth[1], 1.1));
    Count(bench::PrintRatio("peak RSS growth / RapidJSON's", peak_growth[0] / peak_growth[1], 1.1));
    std::printf("\n(JSON: %d target(s) missed)\n", misses);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::strcmp(argv[1], "once") == 0) return Once(argv[2], argv[3]);
        if (argc == 4 && std::strcmp(argv[1], "generate") == 0) {
            WriteFile(argv[3], Generate(static_cast<std::size_t>(std::atof(argv[2]) * 1e6)));
            return 0;
        }
        if (argc == 2 || argc == 3) return Bench(argv[1], argc == 3 ? std::atoi(argv[2]) : 7);
        std::fprintf(stderr, "usage: vantrel_bench_json <scratch folder> [rounds]\n");
        return 2;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
}
