// Starting programs and the service wait's rhythm, on fakes.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "testing/fake_clock.h"
#include "testing/fake_programs.h"
#include "provisioning/launcher.h"

namespace vantrel::provisioning {
namespace {

TEST(ExecutarProcessoTest, PassesTheCommandAsGivenAndIsSilent) {
    platform::FakePrograms programs;
    const std::u16string command = u"C:\\Program Files\\RustDesk\\rustdesk.exe --config \"host=h,key=k\"";
    ExecutarProcesso(programs, command, false, true);
    ExecutarProcesso(programs, command, true, false);
    EXPECT_EQ(programs.started,
              (std::vector<platform::FakePrograms::Started>{{command, false, true}, {command, true, false}}));

    programs.on_start = [](const std::u16string&) { throw std::runtime_error("cannot start"); };
    EXPECT_NO_THROW(ExecutarProcesso(programs, u"", false, true));
}

TEST(AguardaServicoRodandoTest, Rhythm) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    struct Case {
        const char* name;
        std::uint32_t budget;
        std::uint64_t start_ticks;
        int running_from;          // the first query that finds it running; 0: never
        std::uint32_t query_cost;  // ms each query takes
        bool result;
        std::size_t queries;
        std::uint64_t slept;
    };
    const Case cases[] = {
        {"already running", 20000, 5000, 1, 0, true, 1, 0},
        {"never running", 20000, 5000, 0, 0, false, 21, 21000},
        {"running part-way", 20000, 5000, 5, 0, true, 5, 4000},
        {"running at the last query", 20000, 5000, 21, 0, true, 21, 20000},
        {"slow queries count", 20000, 5000, 0, 500, false, 14, 14000},
        {"budget 0", 0, 5000, 0, 0, false, 1, 1000},
        {"budget 0, running at once", 0, 5000, 1, 0, true, 1, 0},
        {"largest budget", kMax, 5000, 300, 0, true, 300, 299000},
        {"counter wraps", 20000, 0xFFFFFFFFull - 2500, 0, 0, false, 21, 21000},
        {"counter wraps, running", 20000, 0xFFFFFFFFull - 2500, 7, 0, true, 7, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePrograms programs;
        platform::FakeClock clock;
        clock.ticks = c.start_ticks;
        programs.service_answer = [&](const std::u16string&) {
            clock.ticks += c.query_cost;
            return c.running_from != 0 &&
                   programs.service_queries.size() >= static_cast<std::size_t>(c.running_from);
        };
        EXPECT_EQ(AguardaServicoRodando(programs, clock, u"RustDesk", c.budget), c.result);
        EXPECT_EQ(programs.service_queries.size(), c.queries);
        EXPECT_EQ(clock.slept, c.slept);
        for (const auto& name : programs.service_queries) EXPECT_EQ(name, u"RustDesk");
    }
}

TEST(AguardaServicoRodandoTest, AFailingQueryCountsAsNotRunning) {
    platform::FakePrograms programs;
    platform::FakeClock clock;
    programs.service_answer = [&](const std::u16string&) -> bool {
        if (programs.service_queries.size() < 3) throw std::runtime_error("no manager");
        return true;
    };
    EXPECT_TRUE(AguardaServicoRodando(programs, clock, u"RustDesk", 20000));
    EXPECT_EQ(programs.service_queries.size(), 3u);
}

}  // namespace
}  // namespace vantrel::provisioning
