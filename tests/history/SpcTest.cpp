#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <tuple>

#include "history/SpcReport.h"
#include "instrument/UnitTable.h"

// Expected figures are the outputs of spc_reference.py beside this file (the formulas by brute force).

namespace vexlo {
namespace {

// A zigzag around 10.5 that completes no rule, split where the patterns go in.
std::vector<double> WithPattern(std::vector<double> pattern) {
    std::vector<double> values{10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9};
    values.insert(values.end(), pattern.begin(), pattern.end());
    for (double after : {9, 10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9, 11}) values.push_back(after);
    return values;
}

SpcChart ChartOf(const std::vector<double>& values) {
    SpcChart chart;
    for (double value : values) chart.Append(value);
    return chart;
}

TEST(SpcTest, EachRuleAloneAndOnePointShortOfIt) {
    struct Case {
        const char* name;
        std::vector<double> values;
        std::vector<SpcFlag> flags;
    };
    std::vector<double> centreBreak = WithPattern({11, 11, 11, 10.5, 11, 11, 11, 11});
    centreBreak.back() = 9.5;  // so that the mean is exactly 10.5, the value inside the run
    const Case cases[] = {
        {"rule 1", WithPattern({19}), {{11, {1}}}},
        {"rule 1 short", WithPattern({16}), {}},
        // Both points whose window of three holds the two high ones complete rule 2.
        {"rule 2", WithPattern({15, 15}), {{12, {2}}, {13, {2}}}},
        {"rule 2 short", WithPattern({15, 10, 10}), {}},
        {"rule 3", WithPattern({13, 13, 10, 13, 13}), {{15, {3}}}},
        {"rule 3 short", WithPattern({13, 13, 10, 13, 10}), {}},
        {"rule 4", WithPattern({11, 11, 11, 11, 11, 11, 11, 11}), {{18, {4}}}},
        {"rule 4 short", WithPattern({11, 11, 11, 11, 11, 11, 11}), {}},
        {"rule 4 broken on the centre", centreBreak, {}},
        {"every rule at once", WithPattern({12, 12, 12, 13, 14, 14, 15, 19}), {{18, {1, 2, 3, 4}}, {19, {2, 3}}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ChartOf(c.values).Flags(), c.flags) << c.name;
    EXPECT_EQ(*ChartOf(centreBreak).Mean(), 10.5);
}

// Each row: the JSON figures in this order; kAbsent where the key must be missing.
constexpr double kAbsent = -1e300;
const char* const kSpcKeys[] = {"n",     "mean", "stdDev", "sigmaWithin", "mrBar", "ucl",        "lcl",
                                "mrUcl", "cp",   "cpk",    "pp",          "ppk",   "cpkLower95", "cpkUpper95"};

// Checks the object against the row, through its printed text: full precision survives.
void ExpectFigures(const nlohmann::json& object, const char* const* keys, const std::vector<double>& row,
                   const char* name) {
    const auto json = nlohmann::json::parse(object.dump());
    std::size_t present = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == kAbsent) {
            EXPECT_FALSE(json.contains(keys[i])) << name << ": " << keys[i];
            continue;
        }
        ++present;
        ASSERT_TRUE(json.contains(keys[i])) << name << ": " << keys[i];
        EXPECT_NEAR(json[keys[i]].get<double>(), row[i], 1e-12 * std::max(1.0, std::fabs(row[i])))
            << name << ": " << keys[i];
    }
    EXPECT_EQ(json.size(), present + (json.contains("flags") ? 1 : 0) + (json.contains("passed") ? 1 : 0)) << name;
}

TEST(SpcTest, FiguresOneAndTwoSided) {
    const double A = kAbsent;
    const auto run4 = WithPattern({11, 11, 11, 11, 11, 11, 11, 11});
    const std::vector<double> zigzag{10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9, 11,
                                     10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9, 11};
    const std::vector<double> shared({32, 10.5625, 1.0453429750487975, 1.401281171356669, 1.5806451612903225,
                                      14.766343514070007, 6.358656485929993, 5.163967741935483});
    const auto row = [&](std::vector<double> indices) {
        auto all = shared;
        all.insert(all.end(), indices.begin(), indices.end());
        return all;
    };
    struct Case {
        const char* name;
        std::vector<double> values;
        std::optional<double> usl, lsl;
        std::vector<double> expected;
    };
    const auto nil = std::nullopt;
    const Case cases[] = {
        {"one-sided, 24 values: no interval", zigzag, 16, nil,
         std::vector<double>{24, 10.5, 1.1420804814403216, 1.811594202898551, 2.0434782608695654, 15.934782608695652,
                             5.065217391304347, 6.67604347826087, A, 1.0119999999999998, A, 1.6052575655800072, A, A}},
        {"one-sided with interval", run4, 16, nil,
         row({A, 1.2934591836734692, A, 1.7338806910864744, 0.9514093319251499, 1.6355090354217885})},
        {"two-sided, upper side nearer", run4, 16, 5,
         row({1.308326530612245, 1.2934591836734692, 1.7538103542024108, 1.7338806910864744, 0.9514093319251499,
              1.6355090354217885})},
        {"two-sided, lower side nearer", run4, 20, 8,
         row({1.427265306122449, 0.6095612244897959, 1.9132476591299026, 0.8171161877533959, 0.4188777355046966,
              0.8002447134748951})},
    };
    for (const auto& c : cases)
        ExpectFigures(SpcJson(MakeSpcReport(c.values, c.usl, c.lsl)), kSpcKeys, c.expected, c.name);
    EXPECT_EQ(SpcJson(MakeSpcReport(run4, 16, {}))["flags"], nlohmann::json::parse(R"([{"index": 18, "rules": [4]}])"));
}

TEST(SpcTest, DegenerateInputGivesReasonsNeverNaN) {
    using Keys = std::set<std::string>;
    struct Case {
        const char* name;
        std::vector<double> values;
        std::optional<double> usl, lsl;
        Keys keys;  // besides n and flags
        const char* cpkReason;
    };
    const std::vector<double> none, one{3}, equal{0.1, 0.1, 0.1}, twelve{10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9, 11};
    const Keys noKeys, mean{"mean"}, chart{"mean", "stdDev", "sigmaWithin", "mrBar", "ucl", "lcl", "mrUcl"};
    const Keys indices{"cpk", "lcl", "mean", "mrBar", "mrUcl", "ppk", "sigmaWithin", "stdDev", "ucl"};
    const auto nil = std::nullopt;
    const Case cases[] = {
        {"no values", none, 5, nil, noKeys, "at least 2 results are needed (0 so far)"},
        {"one value", one, 5, nil, mean, "at least 2 results are needed (1 so far)"},
        {"all equal", equal, 5, nil, chart, "all values are equal: no spread to judge"},
        {"no USL", twelve, nil, nil, chart, "no upper limit (USL) known"},
        {"USL equal to LSL", twelve, 10, 10, chart, "the USL must lie above the LSL"},
        {"USL below LSL", twelve, 9, 12, chart, "the USL must lie above the LSL"},
        {"under 30 values", twelve, 16, nil, indices, ""},
    };
    for (const auto& c : cases) {
        const SpcReport report = MakeSpcReport(c.values, c.usl, c.lsl);
        const auto json = SpcJson(report);
        Keys keys;
        for (const auto& [key, value] : json.items()) {
            if (key != "n" && key != "flags") keys.insert(key);
            EXPECT_TRUE(!value.is_number() || std::isfinite(value.get<double>())) << c.name << ": " << key;
        }
        EXPECT_EQ(keys, c.keys) << c.name;
        EXPECT_TRUE(json["flags"].empty()) << c.name;
        EXPECT_EQ(report.capability.cpk.reason, c.cpkReason) << c.name;
        EXPECT_FALSE(report.capability.cp.reason.empty()) << c.name;
    }
    EXPECT_EQ(*MakeSpcReport(equal, 5, {}).capability.mean.value, 0.1);
    EXPECT_EQ(MakeSpcReport(twelve, 16, {}).capability.cpkLower95.reason,
              "18 more results needed for the 95 % interval (30 at least)");
}

TEST(SpcTest, GaugeStudy) {
    const std::vector<double> ten{10.00, 10.02, 9.99, 10.01, 10.03, 9.98, 10.00, 10.02, 10.01, 9.99};
    std::vector<double> thirty;
    for (int i = 0; i < 3; ++i) thirty.insert(thirty.end(), ten.begin(), ten.end());
    const std::vector<double> twentySix(thirty.begin(), thirty.begin() + 26);
    const std::vector<double> twentyFour(thirty.begin(), thirty.begin() + 24);
    const std::vector<double> equal(25, 1.5);
    const char* const keys[] = {"n", "mean", "stdDev", "bias", "cg", "cgk"};
    const double A = kAbsent;
    struct Case {
        const char* name;
        std::vector<double> values;
        double reference, tolerance;
        bool passed;
        const char* note;
        std::vector<double> expected;
    };
    const char* const recommended30 = "50 values are recommended (30 given)";
    const Case cases[] = {
        {"passes", thirty, 10.01, 2, true, recommended30,
         std::vector<double>{30, 10.004999999999999, 0.015256428831467909, -0.005000000000000782, 4.369742578889761,
                             4.2604990144174995}},
        {"tolerance too tight", thirty, 10.01, 0.5, false, recommended30,
         std::vector<double>{30, 10.004999999999999, 0.015256428831467909, -0.005000000000000782, 1.0924356447224401,
                             0.983192080250179}},
        {"bias too large, 26 values", twentySix, 9.9, 1.0, false, "50 values are recommended (26 given)",
         std::vector<double>{26, 10.004999999999999, 0.01581138830084156, 0.10499999999999865, 2.1081851067789645,
                             -0.10540925533891964}},
        {"24 values", twentyFour, 10, 2, false, "at least 25 values are needed (24 given)",
         std::vector<double>{24, 10.005, 0.014744195615489399, 0.005, A, A}},
        {"no tolerance", thirty, 10, 0, false, "the tolerance must be above 0",
         std::vector<double>{30, 10.005, 0.015256428831467909, 0.005, A, A}},
        {"all equal", equal, 1.5, 1, false,
         "all values are equal: the tester's resolution is too coarse to judge its spread",
         std::vector<double>{25, 1.5, 0, 0, A, A}},
    };
    for (const auto& c : cases) {
        const auto study = StudyGauge(c.values, c.reference, c.tolerance);
        const auto json = GaugeJson(study);
        EXPECT_EQ(json["passed"], c.passed) << c.name;
        EXPECT_EQ(study.note, c.note) << c.name;
        ExpectFigures(json, keys, c.expected, c.name);
    }
}

TEST(SpcTest, ValuesFileReading) {
    const auto good = ParseSpcValues("\xEF\xBB\xBF 1.5\r\n\n-2e-3\t\n+7\n\n  \n.25", "v.txt");
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.values, (std::vector<double>{1.5, -0.002, 7, 0.25}));
    const std::pair<const char*, const char*> refused[] = {
        {"1\n2,5\n", "v.txt, line 2: \"2,5\" is not a number"},
        {"1\n\n5abc\n", "v.txt, line 3: \"5abc\" is not a number"},
        {"nan\n", "v.txt, line 1: \"nan\" is not a number"},
        {"1\ninf", "v.txt, line 2: \"inf\" is not a number"},
        {"1e999\n", "v.txt, line 1: \"1e999\" is not a number"},
        {"0x10\n", "v.txt, line 1: \"0x10\" is not a number"},
        {"+-5\n", "v.txt, line 1: \"+-5\" is not a number"},
        {"1 2\n", "v.txt, line 1: \"1 2\" is not a number"},
        {"\n\n", "v.txt: the file holds no values"},
    };
    for (const auto& [text, error] : refused) {
        const auto read = ParseSpcValues(text, "v.txt");
        EXPECT_EQ(read.error, error) << text;
        EXPECT_TRUE(read.values.empty()) << text;
    }
    const std::string path = ::testing::TempDir() + "spc_values_test.txt";
    std::ofstream(path) << "0.125\n0.5\n";
    EXPECT_EQ(ReadSpcValuesFile(path).values, (std::vector<double>{0.125, 0.5}));
    std::remove(path.c_str());
    EXPECT_EQ(ReadSpcValuesFile(path).error, path + ": the file cannot be opened");
}

TEST(SpcTest, SeriesOfAProgramTakesItsLimitOnlyInTheLeakUnit) {
    const std::string unit = UnitText(5);
    std::vector<HistoryEntry> entries(4);
    const double leaks[] = {0.25, 9, 0.5, 0.75};
    for (int i = 0; i < 4; ++i) {
        entries[i].program = i == 1 ? 2 : 3;
        entries[i].leak = leaks[i];
        entries[i].leakUnit = unit;
    }
    const auto series = SpcSeriesOf(entries, 3, RejectLimits{1250, 300, 5000});
    EXPECT_EQ(std::tuple(series.values, series.usl), std::tuple(std::vector<double>{0.25, 0.5, 0.75}, 1.25));
    EXPECT_EQ(SpcSeriesOf(entries, 3, RejectLimits{1250, 300, 6000}).usl, std::nullopt);
    EXPECT_EQ(SpcSeriesOf(entries, 3, std::nullopt).uslReason, "REJECT TEST of this program not read");
}

}  // namespace
}  // namespace vexlo
