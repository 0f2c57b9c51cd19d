// The reader of observed cases: time order by session or by the file, phase
// labels, missing values counted, and every bad input named by line and case.
#include "observeddata.h"

#include <gtest/gtest.h>

#include "test.h"

namespace {

ObservedData read(const std::string& text, const PhaseLabels& labels = {}) { return readObservedData(text, labels); }

}  // namespace

TEST(ObservedData, CasesInFirstAppearanceOrderPointsInSessionOrder) {
    const ObservedData d = read(
        "id,case,session,phase,value,note\n"
        "1,S2,2,b,5,x\n"
        "2,S1,1,A,1.5,\n"
        "3,S2,1,a,NA,\n"
        "4,S1,3,B,\"4\",\"a, b\"\n"
        "5,S1,2,A,,\n"
        "6,S2,0,A,-2,\n"
        "7,S1,10,B,1e3,\n");
    ASSERT_TRUE(d.problems.empty()) << d.problems.front().message;
    ASSERT_EQ(d.cases.size(), 2u);
    const ObservedCase& s2 = d.cases[0];
    EXPECT_EQ(s2.name, "S2");
    EXPECT_EQ(s2.line, 2);
    EXPECT_EQ(s2.nA, 1);
    EXPECT_EQ(s2.nB, 1);
    EXPECT_EQ(s2.nMissing, 1);
    EXPECT_EQ(s2.values, (std::vector<float>{-2.0f, 5.0f}));
    const ObservedCase& s1 = d.cases[1];
    EXPECT_EQ(s1.nA, 1);
    EXPECT_EQ(s1.nB, 2);
    EXPECT_EQ(s1.nMissing, 1);
    EXPECT_EQ(s1.values, (std::vector<float>{1.5f, 4.0f, 1000.0f})) << "sessions compare as numbers, not text";
}

TEST(ObservedData, WithoutSessionTheFileOrderIsTheTimeOrderAndValuesAreFloats) {
    const ObservedData d = read("\xEF\xBB\xBFvalue,phase,case\r\n0.1,A,x\r\n0.3,A,x\r\n\r\n0.2,B,x\r\n");
    ASSERT_TRUE(d.problems.empty());
    ASSERT_EQ(d.cases.size(), 1u);
    EXPECT_EQ(d.cases[0].values, (std::vector<float>{0.1f, 0.3f, 0.2f})) << "read as strtof reads them";
}

TEST(ObservedData, OtherPhaseLabelsAnyLetterCase) {
    PhaseLabels labels;
    std::string error;
    ASSERT_TRUE(parsePhaseLabels("Baseline,Intervention", labels, error));
    const ObservedData d = read("case,phase,value\nk,baseline,1\nk,BASELINE,2\nk,intervention,3\n", labels);
    ASSERT_TRUE(d.problems.empty());
    EXPECT_EQ(d.cases[0].nA, 2);
    EXPECT_EQ(d.cases[0].nB, 1);
    EXPECT_FALSE(read("case,phase,value\nk,A,1\nk,B,2\n", labels).problems.empty()) << "A and B are no longer phases";

    for (const char* bad : {"A", "A,", ",B", "A,B,C", "a,A", ""}) EXPECT_FALSE(parsePhaseLabels(bad, labels, error)) << bad;
}

TEST(ObservedData, EachBadInputNamesItsLineAndCase) {
    const struct {
        const char* text;
        int line;
        const char* caseName;
        const char* says;
    } cases[] = {
        {"", 1, "", "the file is empty"},
        {"case,value\nx,1\n", 1, "", "missing column 'phase'"},
        {"case,phase,value\n", 2, "", "no rows under the header"},
        {"case,phase,value\nx,B,1\nx,A,2\n", 3, "x", "only AB designs are supported"},
        {"case,phase,value\nx,A,1\nx,B,2\nx,A,3\nx,B,4\n", 4, "x", "only AB designs are supported"},
        {"case,session,phase,value\nx,2,A,1\nx,1,B,2\n", 2, "x", "only AB designs are supported"},
        {"case,phase,value\nx,A,1\nx,A,2\n", 2, "x", "no point of phase B"},
        {"case,phase,value\ny,A,1\ny,B,2\nx,B,2\n", 4, "x", "no point of phase A"},
        {"case,phase,value\nx,A,NA\nx,B,2\n", 2, "x", "every value of phase A is NA or empty"},
        {"case,phase,value\nx,A,1\nx,C,2\n", 3, "x", "unknown phase 'C'"},
        {"case,phase,value\nx,A,1\nx,B,two\n", 3, "x", "cannot read 'two'"},
        {"case,phase,value\nx,A,1\nx,B,nan\n", 3, "x", "cannot read 'nan'"},
        {"case,phase,value\nx,A,1\nx,B,1e39\n", 3, "x", "a finite number"},
        {"case,session,phase,value\nx,1,A,1\nx,2,B,2\nx,1,B,3\n", 4, "x", "session 1 appears twice (first on line 2)"},
        {"case,session,phase,value\nx,1,A,1\nx,,B,2\n", 3, "x", "(session)"},
        {"case,phase,value\n,A,1\n", 2, "", "a row without a case name"},
        {"case,phase,value\nx,A,1,9\n", 2, "", "expected 3 fields"},
        {"case,phase,value\nx,A,\"1\n", 2, "", "quote"},
        {"case,case,phase,value\n", 1, "", "appears twice"},
    };
    for (const auto& c : cases) {
        const ObservedData d = read(c.text);
        ASSERT_FALSE(d.problems.empty()) << c.text;
        EXPECT_TRUE(d.cases.empty()) << c.text;
        const DataProblem& p = d.problems.front();
        EXPECT_EQ(p.line, c.line) << c.text;
        EXPECT_EQ(p.caseName, c.caseName) << c.text;
        EXPECT_NE(p.message.find(c.says), std::string::npos) << c.text << " -> " << p.message;
    }
}

TEST(ObservedData, EveryProblemIsReportedInLineOrder) {
    const ObservedData d = read("case,phase,value\nx,B,1\nx,A,2\ny,A,z\ny,B,1\nw,Q,1\n");
    ASSERT_EQ(d.problems.size(), 3u);
    EXPECT_EQ(d.problems[0].line, 3);
    EXPECT_EQ(d.problems[1].line, 4);
    EXPECT_EQ(d.problems[2].line, 6);
}
