// WMI queries: a fresh connection per query, the warning at the level, 9999 never examined, the
// first failure logged.

#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "engine/WMIRunner.h"

namespace {

constexpr int32_t kInvalidQuery = static_cast<int32_t>(0x80041017u);
constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80041003u);

wmiItem Query(const std::string& command, int16_t level) { return wmiItem{command, level}; }

TEST(WMIRunner, WarnsWhenTheCountReachesTheLevel) {
    EngineFixture f;
    f.wmi.answers["three"] = {0, 3, 0};
    f.wmi.answers["two"] = {0, 2, 0};
    f.wmi.answers["none"] = {0, 0, 0};
    WMIRunner queries(f.platform());

    queries.Run({Query("three", 3), Query("two", 3), Query("none", 0), Query("none", -5),
                 Query("none", 1), Query("three", 32767)});

    EXPECT_EQ(f.boxes.shown, (std::vector<std::string>{
                                 "three Was more then or equal to 3",
                                 "none Was more then or equal to 0",
                                 "none Was more then or equal to -5",
                             }));
    EXPECT_TRUE(f.env.files.files.empty());
}

TEST(WMIRunner, EachQueryGetsAFreshConnectionReleasedAfterwards) {
    EngineFixture f;
    WMIRunner queries(f.platform());
    queries.Run({Query("a", 9999), Query("b", 9999), Query("c", 1)});
    EXPECT_EQ(f.wmi.executed, (std::vector<std::string>{"1:a", "2:b", "3:c"}));
    EXPECT_EQ(f.wmi.openServices, 0);
}

TEST(WMIRunner, LevelNotExaminedRunsTheQueryButNeverCountsOrShows) {
    EngineFixture f;
    f.wmi.answers["many"] = {0, 50000, 0};
    // A set that cannot be counted does no harm when nobody counts it.
    f.wmi.answers["uncountable"] = {0, 0, kAccessDenied};
    WMIRunner queries(f.platform());
    queries.Run({Query("many", 9999), Query("uncountable", 9999)});
    EXPECT_EQ(f.wmi.executed.size(), 2u);
    EXPECT_TRUE(f.wmi.counted.empty());
    EXPECT_TRUE(f.boxes.shown.empty());
    EXPECT_TRUE(f.env.files.files.empty());
}

TEST(WMIRunner, RefusedQueryIsLoggedOnceAndEndsTheList) {
    EngineFixture f;
    f.wmi.answers["bad query"] = {kInvalidQuery, 0, 0};
    f.wmi.answers["third"] = {0, 5, 0};
    WMIRunner queries(f.platform());

    queries.Run({Query("first", 0), Query("bad query", 0), Query("third", 0)});

    EXPECT_EQ(f.wmi.executed, (std::vector<std::string>{"1:first", "2:bad query"}));
    EXPECT_EQ(f.boxes.shown, (std::vector<std::string>{"first Was more then or equal to 0"}));
    EXPECT_EQ(f.LogLines(),
              (std::vector<std::string>{"06.12.202609:15:02 Error -2147217385, Source = "
                                        "Orvik.WMIRunner: wmi text 0x80041017Trace:  "
                                        "Command:bad query"}));
}

TEST(WMIRunner, FailedConnectionAndFailedCountAreLoggedLikeARefusal) {
    EngineFixture f;
    f.wmi.connectionsBeforeFailure = 1;
    WMIRunner queries(f.platform());
    queries.Run({Query("ok", 9999), Query("second", 9999), Query("third", 9999)});
    EXPECT_EQ(f.wmi.executed, (std::vector<std::string>{"1:ok"}));
    EXPECT_EQ(f.LogLines(),
              (std::vector<std::string>{"06.12.202609:15:02 Error -2147217405, Source = "
                                        "Orvik.WMIRunner: wmi text 0x80041003Trace:  "
                                        "Command:second"}));

    EngineFixture g;
    g.wmi.answers["slow"] = {0, 0, wmi::kTimedOut};
    WMIRunner slowQueries(g.platform());
    slowQueries.Run({Query("slow", 1), Query("after", 0)});
    EXPECT_TRUE(g.boxes.shown.empty()) << "a count that failed must not be taken as 0";
    EXPECT_EQ(g.wmi.executed, (std::vector<std::string>{"1:slow"}));
    ASSERT_EQ(g.LogLines().size(), 1u);
    EXPECT_NE(g.LogLines()[0].find("Error -2147217303, Source = Orvik.WMIRunner"),
              std::string::npos);
    EXPECT_NE(g.LogLines()[0].find("Trace:  Command:slow"), std::string::npos);
}

}  // namespace
