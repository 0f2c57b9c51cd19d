// The statistic description: every statistic has one entry, labels fit the
// table, and each option's rows come in the order its table prints them.
#include "statistic.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "runs.h"

TEST(Statistic, LabelsTestsAndOptionsOfEveryStatistic) {
    const struct {
        Statistic s;
        const char* label;
        bool test;
        Option option;
    } expected[] = {{Statistic::PlTau, "PL-Tau", true, Option::EffectSizes},
                    {Statistic::TauU, "Tau-U", true, Option::EffectSizes},
                    {Statistic::MpdR, "MPD-r", false, Option::EffectSizes},
                    {Statistic::Ecl, "ECL", false, Option::EffectSizes},
                    {Statistic::Pnd, "PND", true, Option::EffectSizes},
                    {Statistic::Pncd, "PNCD", true, Option::EffectSizes},
                    {Statistic::SimD, "SIM-d", true, Option::Varden},
                    {Statistic::SimR, "SIM-r", true, Option::Varden},
                    {Statistic::MpdD, "MPD-d", false, Option::EffectSizes},
                    {Statistic::Nap, "NAP", true, Option::EffectSizes},
                    {Statistic::TauAB, "Tau-AB", true, Option::EffectSizes},
                    {Statistic::Pem, "PEM", true, Option::EffectSizes},
                    {Statistic::Smd, "SMD", false, Option::EffectSizes}};
    for (const auto& e : expected) {
        const StatisticInfo& info = statisticInfo(e.s);
        EXPECT_EQ(info.statistic, e.s) << e.label;
        EXPECT_STREQ(info.label, e.label);
        EXPECT_EQ(info.hasTest, e.test) << e.label;
        EXPECT_EQ(info.option, e.option) << e.label;
        EXPECT_EQ(statisticNamed(e.label), e.s);
    }
    EXPECT_EQ(allStatistics().size(), std::size(expected));
}

TEST(Statistic, EntriesAreUniqueAndLabelsFitTheTable) {
    std::set<Statistic> ids;
    std::set<std::string> labels;
    for (const StatisticInfo& s : allStatistics()) {
        EXPECT_TRUE(ids.insert(s.statistic).second) << s.label;
        EXPECT_TRUE(labels.insert(s.label).second) << s.label;
        EXPECT_LE(std::string(s.label).size(), 6u) << "labels fill a six-character column";
        EXPECT_EQ(std::string(s.label).find_first_of(",\"\n"), std::string::npos)
            << "a label is one plain CSV field";
    }
    EXPECT_FALSE(statisticNamed("pl-tau")) << "labels are matched exactly";
    EXPECT_FALSE(statisticNamed(""));
}

// The runs fill their rows by position in this order.
TEST(Statistic, EachOptionsTableInOrder) {
    EXPECT_EQ(defaultStatistics(Option::EffectSizes),
              (std::vector<Statistic>{Statistic::PlTau, Statistic::TauU, Statistic::MpdR, Statistic::Ecl,
                                      Statistic::Pnd, Statistic::Pncd}));
    EXPECT_EQ(defaultStatistics(Option::Varden), (std::vector<Statistic>{Statistic::SimD, Statistic::SimR}));
    EXPECT_EQ(statisticsOf(Option::EffectSizes),
              (std::vector<Statistic>{Statistic::PlTau, Statistic::TauU, Statistic::MpdR, Statistic::Ecl,
                                      Statistic::Pnd, Statistic::Pncd, Statistic::MpdD, Statistic::Nap,
                                      Statistic::TauAB, Statistic::Pem, Statistic::Smd}))
        << "the four indices and MPD's d only on request, after the table's rows";
    EXPECT_EQ(statisticsOf(Option::Varden), defaultStatistics(Option::Varden));
}

TEST(Statistic, ListsOfLabelsInTheirOrder) {
    std::vector<Statistic> s;
    std::string error;
    ASSERT_TRUE(parseStatisticList("NAP,PL-Tau,SIM-r", s, error)) << error;
    EXPECT_EQ(s, (std::vector<Statistic>{Statistic::Nap, Statistic::PlTau, Statistic::SimR}));
    const std::vector<Statistic> kept = s;
    for (const char* bad : {"", "NAP,", ",NAP", "nap", "NAP,NAP", "PL-Tau, NAP"}) {
        EXPECT_FALSE(parseStatisticList(bad, s, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(s, kept) << "a failed parse leaves the list as it was";
    parseStatisticList("NAP,XYZ", s, error);
    EXPECT_NE(error.find("unknown statistic 'XYZ'"), std::string::npos) << error;
    EXPECT_NE(error.find("Tau-AB"), std::string::npos) << "the message lists the labels";
}

TEST(Statistic, RunsReturnTheOptionsRowsWithPValuesWhereThereIsATest) {
    Simulator simulator(1);
    ModelParameters m{3, 3, 0, 1, 0, 1, 1, 0, 0};
    for (const Option option : {Option::EffectSizes, Option::Varden}) {
        RunSettings settings = defaultSettings(option);
        settings.iterations = 8;
        Rng rng;
        const std::vector<StatisticRow> rows = simulator.run(option, m, rng, settings, [] {});
        const std::vector<Statistic> expected = defaultStatistics(option);
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            EXPECT_EQ(rows[k].statistic, expected[k]);
            EXPECT_EQ(rows[k].pValues.size(), statisticInfo(expected[k]).hasTest ? 8u : 0u);
        }
    }
}
