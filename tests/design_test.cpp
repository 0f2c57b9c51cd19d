#include "design.h"
#include "designexpand.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "test.h"

namespace {

std::vector<int> ints(const std::string& list) {
    std::vector<int> v;
    std::string error;
    EXPECT_TRUE(parseIntList(list, v, error)) << list << ": " << error;
    return v;
}

std::vector<float> floats(const std::string& list) {
    std::vector<float> v;
    std::string error;
    EXPECT_TRUE(parseFloatList(list, v, error)) << list << ": " << error;
    return v;
}

Condition condition(int id, Option option, ModelParameters m) {
    Condition c;
    c.id = id;
    c.option = option;
    c.model = m;
    return c;
}

const std::string kHeader = "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n";

std::vector<DesignError> parse(const std::string& text, std::vector<Condition>& design) {
    return parseDesign(text, design);
}

// "LINE:COLUMN: message" of the first error, for compact expectations.
std::string firstError(const std::string& text) {
    std::vector<Condition> design;
    const auto errors = parseDesign(text, design);
    if (errors.empty()) return "";
    EXPECT_TRUE(design.empty()) << "a design with errors is not handed out";
    return std::to_string(errors[0].line) + ":" + std::to_string(errors[0].column) + ": " + errors[0].message;
}

}  // namespace

TEST(DesignSpec, ListsAndInclusiveRanges) {
    EXPECT_EQ(ints("3:19:2"), (std::vector<int>{3, 5, 7, 9, 11, 13, 15, 17, 19}));
    EXPECT_EQ(ints("10,15,20"), (std::vector<int>{10, 15, 20}));
    EXPECT_EQ(ints("5:6:10"), (std::vector<int>{5}));
    EXPECT_EQ(ints(" 7 "), (std::vector<int>{7}));
    // Without a step a range steps by 1, as 3:10 reads in R.
    EXPECT_EQ(ints("3:10"), ints("3:10:1"));
    EXPECT_EQ(ints("3:10").size(), 8u);
    EXPECT_EQ(ints("4:4"), (std::vector<int>{4}));
    EXPECT_EQ(floats("-1:1"), (std::vector<float>{-1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(floats("0:0.5"), (std::vector<float>{0.0f}));

    // The decimal step's binary rounding must neither lose the end point nor
    // give values other than the ones typed as a list.
    const std::vector<float> r = floats("0:1:0.1");
    ASSERT_EQ(r.size(), 11u);
    const std::vector<float> l = floats("0,0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1");
    for (std::size_t i = 0; i < r.size(); ++i) EXPECT_TRUE(sameFloat(r[i], l[i])) << i;
    EXPECT_EQ(floats("-0.6:0.6:0.3").size(), 5u);
    EXPECT_EQ(floats("0.25"), (std::vector<float>{0.25f}));
    // The dialogue's grammar for hexadecimal entries; non-finite ones are
    // refused (a design of them could not be run).
    EXPECT_EQ(floats("0x1p-2,-0.5"), (std::vector<float>{0.25f, -0.5f}));
}

TEST(DesignSpec, RejectsWhatIsNeitherListNorRange) {
    std::vector<int> vi;
    std::vector<float> vf;
    std::string error;
    for (const char* bad : {"", "2:1", "1:", ":2", "1:2:3:4", "a", "1,,2", "3:1:1", "1:5:0", "1:5:-1", "2.5", "1e2",
                            "99999999999"})
        EXPECT_FALSE(parseIntList(bad, vi, error)) << bad;
    for (const char* bad : {"", "x", "1:0", "0:x", "1:0:0.1", "0:1:0", "0:1:nan", "0:inf:1", "0.1.2", "1,", "inf", "0,-INF", "nan",
                            "1e39"})
        EXPECT_FALSE(parseFloatList(bad, vf, error)) << bad;
    EXPECT_FALSE(parseIntList("1:1000000:1", vi, error)) << "more values than a factor may have";
}

TEST(DesignExpand, LastFactorVariesFastestAndIdsCount) {
    FactorLists f;
    f.nA = {3, 4};
    f.nB = {5};
    f.level = {0.0f, 1.0f};
    f.ma1 = {0.0f, 0.4f};
    const Expansion e = expandDesign(f);
    const std::vector<Condition>& d = e.design;
    EXPECT_EQ(e.skipped, 0);
    EXPECT_FALSE(e.tooMany);
    ASSERT_EQ(d.size(), 8u);
    for (std::size_t i = 0; i < d.size(); ++i) EXPECT_EQ(d[i].id, static_cast<int>(i) + 1);
    EXPECT_EQ(d[0].model.nA, 3);
    EXPECT_EQ(d[1].model.fMA1, 0.4f);
    EXPECT_EQ(d[1].model.fB2, 0.0f);
    EXPECT_EQ(d[2].model.fB2, 1.0f);
    EXPECT_EQ(d[4].model.nA, 4);
    // The dialogue's values for what was not named.
    EXPECT_EQ(d[7].model.fSA, 1.0f);
    EXPECT_EQ(d[7].model.fSB, 1.0f);
    EXPECT_EQ(d[7].model.fB1, 0.0f);
    EXPECT_EQ(d[7].model.fAR1, 0.0f);
}

TEST(DesignExpand, LeavesOutBothCoefficientsNonZero) {
    FactorLists f;
    f.nA = {5};
    f.nB = {5};
    f.ar1 = {0.0f, 0.3f};
    f.ma1 = {0.0f, 0.4f};
    const Expansion e = expandDesign(f);
    EXPECT_EQ(e.skipped, 1);
    ASSERT_EQ(e.design.size(), 3u);
    for (const Condition& c : e.design) EXPECT_TRUE(c.model.fAR1 == 0.0f || c.model.fMA1 == 0.0f);
    EXPECT_EQ(e.design[2].id, 3);

    // Every combination left out is not the same as too many of them.
    f.ar1 = {0.3f};
    f.ma1 = {0.4f};
    const Expansion none = expandDesign(f);
    EXPECT_TRUE(none.design.empty());
    EXPECT_FALSE(none.tooMany);
    EXPECT_EQ(none.skipped, 1);
}

TEST(DesignExpand, TooManyCombinationsExpandNothing) {
    FactorLists f;
    f.nA = std::vector<int>(1000, 5);
    f.nB = std::vector<int>(1000, 5);
    f.level = std::vector<float>(11, 0.0f);
    const Expansion e = expandDesign(f);
    EXPECT_TRUE(e.tooMany);
    EXPECT_TRUE(e.design.empty());
    EXPECT_EQ(e.combinations, 11000000.0L);
    EXPECT_EQ(e.skipped, 0) << "nothing was looked at";
}

TEST(DesignText, ParametersAreShortestAndReadBack) {
    FactorLists f;
    f.nA = ints("1,7");
    f.nB = ints("1000");
    f.trend = floats("-0.05,0.1");
    f.sdB = floats("0.5,2");
    f.ar1 = floats("-0.3,0");
    f.level = {NAN, -0.0f, 1e-30f, 0.30000001f};
    const std::vector<Condition> d = expandDesign(f).design;
    const std::string text = designText(d);
    EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
    EXPECT_EQ(text.substr(kHeader.size(), text.find('\n', kHeader.size()) - kHeader.size()),
              "1,1,1,1000,-0.05,NaN,0,1,0.5,-0.3,0");
    EXPECT_NE(text.find("\n2,1,1,1000,-0.05,NaN,0,1,0.5,0,0\n"), std::string::npos);
    EXPECT_NE(text.find("\n5,1,1,1000,-0.05,-0,0,1,0.5,-0.3,0\n"), std::string::npos);
    EXPECT_NE(text.find("\n13,1,1,1000,-0.05,0.3,0,1,0.5,-0.3,0\n"), std::string::npos);
    // A NaN level is written, but no design reads it.
    std::vector<Condition> back;
    const std::vector<DesignError> errors = parse(text, back);
    std::vector<Condition> finite;
    std::copy_if(d.begin(), d.end(), std::back_inserter(finite),
                 [](const Condition& c) { return !std::isnan(c.model.fB2); });
    ASSERT_EQ(errors.size(), d.size() - finite.size());
    EXPECT_EQ(errors[0].message, "level must be a finite number, found NaN");
    ASSERT_TRUE(parse(designText(finite), back).empty());
    ASSERT_EQ(back.size(), finite.size());
    for (std::size_t i = 0; i < finite.size(); ++i) EXPECT_TRUE(sameCondition(back[i], finite[i])) << i;
    EXPECT_EQ(designText(back), designText(finite));
}

TEST(DesignText, SameConditionComparesBits) {
    const Condition c = condition(3, Option::EffectSizes, {10, 10, 0.1f, NAN, 0, 1, 1, 0, 0.4f});
    EXPECT_TRUE(sameCondition(c, c)) << "NaN is the same parameter";
    Condition other = c;
    other.model.fB3 = -0.0f;
    EXPECT_FALSE(sameCondition(c, other)) << "-0 is written as another text";
    other = c;
    other.id = 4;
    EXPECT_FALSE(sameCondition(c, other));
    other = c;
    other.option = Option::Varden;
    EXPECT_FALSE(sameCondition(c, other));
}

TEST(DesignRead, ColumnsInAnyOrderQuotesCrlfAndBlankLines) {
    std::vector<Condition> d;
    const std::string text =
        "\"ma1\",\"ar1\",sd_b,sd_a,slope,level,trend,n_b,n_a,option,condition_id\r\n"
        "0.4, 0 ,1,1,0,1,0.1,10,10,1,7\r\n"
        "\r\n"
        "0,0.3,2,1,0,0,0,3,4,\"2\",2\r\n";
    ASSERT_TRUE(parse(text, d).empty());
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(designText(d), kHeader + "7,1,10,10,0.1,1,0,1,1,0,0.4\n2,2,4,3,0,0,0,1,2,0.3,0\n");

    // A byte-order mark, as some editors write one, is passed over.
    ASSERT_TRUE(parse("\xEF\xBB\xBF" + kHeader + "1,1,10,10,0,0,0,1,1,0,0\n", d).empty());
    ASSERT_EQ(d.size(), 1u);
}

TEST(DesignRead, ErrorsNameLineAndColumn) {
    const std::string row = "1,1,10,10,0,0,0,1,1,0,0\n";
    EXPECT_EQ(firstError(""), "1:1: the design is empty: no header line");
    EXPECT_EQ(firstError(kHeader), "2:1: the design has no conditions");
    EXPECT_EQ(firstError("condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1\n" + row),
              "1:1: missing column 'ma1'");
    EXPECT_EQ(firstError("condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1,x\n" + row),
              "1:65: unknown column 'x'");
    EXPECT_EQ(firstError("condition_id,option,n_a,n_a,trend,level,slope,sd_a,sd_b,ar1,ma1\n" + row),
              "1:25: column 'n_a' appears twice in the header");
    EXPECT_EQ(firstError(kHeader + row + "2,1,10,10,0,0,0,1,1,0\n"), "3:1: expected 11 fields, found 10");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,zero,0,1,1,0,0\n"),
              "2:13: cannot read 'zero' as a number (level)");
    EXPECT_EQ(firstError(kHeader + "1,1,10.5,10,0,0,0,1,1,0,0\n"),
              "2:5: cannot read '10.5' as a whole number (n_a)");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,0,1,1,0,0.4x\n"),
              "2:23: cannot read '0.4x' as a number (ma1)");
    EXPECT_EQ(firstError(kHeader + "1,1,0,10,0,0,0,1,1,0,0\n"),
              "2:5: n_a must be from 1 to 1000 with option 1, found 0");
    EXPECT_EQ(firstError(kHeader + "1,1,10,1001,0,0,0,1,1,0,0\n"),
              "2:8: n_b must be from 1 to 1000 with option 1, found 1001");
    EXPECT_EQ(firstError(kHeader + "1,2,101,10,0,0,0,1,1,0,0\n"),
              "2:5: n_a must be from 1 to 100 with option 2, found 101");
    EXPECT_EQ(firstError(kHeader + "1,3,10,10,0,0,0,1,1,0,0\n"), "2:3: option must be 1 or 2, found 3");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,0,1,1,0.3,0.4\n"),
              "2:25: ar1 and ma1 are both non-zero; a condition has an AR(1) or an MA(1) coefficient, "
              "not both");
    EXPECT_EQ(firstError(kHeader + "0,1,10,10,0,0,0,1,1,0,0\n"),
              "2:1: condition_id must be a positive whole number, found 0");
    EXPECT_EQ(firstError(kHeader + "-4,1,10,10,0,0,0,1,1,0,0\n"),
              "2:1: condition_id must be a positive whole number, found -4");
    EXPECT_EQ(firstError(kHeader + row + "\n" + row), "4:1: duplicate condition_id 1 (first on line 2)");
    EXPECT_EQ(firstError(kHeader + "\"1,1,10,10,0,0,0,1,1,0,0\n"),
              "2:1: a quoted field is not closed before the end of the file");
    EXPECT_EQ(firstError(kHeader + "1,1,\"10\"0,10,0,0,0,1,1,0,0\n"), "2:9: text after the closing quote of a field");
}

// As R's write.csv writes a data frame: quoted names, row names first.
TEST(DesignRead, RowNamesOfRArePassedOverWithANote) {
    const std::string r =
        "\"\",\"condition_id\",\"option\",\"n_a\",\"n_b\",\"trend\",\"level\",\"slope\",\"sd_a\",\"sd_b\","
        "\"ar1\",\"ma1\"\n"
        "\"1\",7,1,3,4,0,0.5,0,1,1,0,0\n"
        "\"2\",8,1,5,4,0,0.5,0,1,1,0.3,0\n";
    std::vector<Condition> design;
    std::string note;
    EXPECT_TRUE(parseDesign(r, design, {}, &note).empty());
    ASSERT_EQ(design.size(), 2u);
    EXPECT_EQ(design[1].id, 8);
    EXPECT_EQ(design[1].model.fAR1, 0.3f);
    EXPECT_NE(note.find("row names"), std::string::npos) << note;

    // A row's mistakes are still found at their own columns.
    std::string bad = r;
    bad.replace(bad.find(",0.3,"), 5, ",0.x,");
    EXPECT_EQ(firstError(bad), "3:25: cannot read '0.x' as a number (ar1)");
    // An unnamed column elsewhere is no row names.
    EXPECT_EQ(firstError("condition_id,,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n1,1,1,3,4,0,0,0,1,1,0,0\n"),
              "1:14: unknown column ''");
    std::string without;
    EXPECT_TRUE(parseDesign(kHeader + "1,1,3,4,0,0,0,1,1,0,0\n", design, {}, &without).empty());
    EXPECT_EQ(without, "");
}

TEST(DesignRead, OtherSeparatorsGetOneMessage) {
    std::string semicolons = kHeader + "1;1;3;4;0;0,5;0;1;1;0;0\n";
    std::replace(semicolons.begin(), semicolons.begin() + static_cast<std::ptrdiff_t>(kHeader.size()), ',', ';');
    std::vector<Condition> design;
    const std::vector<DesignError> errors = parseDesign(semicolons, design);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].message,
              "the fields are separated by semicolons (as R's write.csv2 writes them); a design file separates "
              "them by commas (in R: write.csv)");
    // write.csv2 quotes the names.
    EXPECT_EQ(parseDesign("\"condition_id\";\"option\"\n1;1\n", design).size(), 1u);
    std::string tabs = kHeader + "1\t1\t3\t4\t0\t0\t0\t1\t1\t0\t0\n";
    std::replace(tabs.begin(), tabs.begin() + static_cast<std::ptrdiff_t>(kHeader.size()), ',', '\t');
    EXPECT_EQ(firstError(tabs), "1:1: the fields are separated by tabs; a design file separates them by commas "
                                "(in R: write.csv)");
}

TEST(DesignRead, ValuesThatAreNotFiniteAreRefusedWhereTheyAre) {
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,nan,0,0,1,1,0,0\n"), "2:11: trend must be a finite number, found NaN");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,-nan,0,1,1,0,0\n"), "2:13: level must be a finite number, found NaN");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,nan(123),1,1,0,0\n"),
              "2:15: slope must be a finite number, found NaN");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,0,inf,1,0,0\n"), "2:17: sd_a must be a finite number, found Inf");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,0,1,-Infinity,0,0\n"),
              "2:19: sd_b must be a finite number, found -Inf");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,0,1,1,1e39,0\n"), "2:21: ar1 must be a finite number, found Inf");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,0,0,0,1,1,0,NaN\n"), "2:23: ma1 must be a finite number, found NaN");
}

TEST(DesignRead, EchoedCellsAreEscapedAndCutAndTheReaderStops) {
    EXPECT_EQ(firstError(kHeader + "1,1,10,10,\x1b[31mred\x01,0,0,1,1,0,0\n"),
              "2:11: cannot read '\\x1b[31mred\\x01' as a number (trend)");
    EXPECT_EQ(firstError(kHeader + "1,1,10,10," + std::string(100000, 'a') + ",0,0,1,1,0,0\n"),
              "2:11: cannot read '" + std::string(40, 'a') + "'... (100000 bytes) as a number (trend)");
    EXPECT_EQ(firstError("\xef\xbb\xbf" + kHeader.substr(0, kHeader.size() - 1) + "\r1,1,10,10,0,0,0,1,1,0,0,x\r"),
              "2:1: expected 11 fields, found 12");
    std::string many = kHeader;
    for (int i = 1; i <= 500; ++i) many += std::to_string(i) + ",1,10,10,zero,0,0,1,1,0,0\n";
    std::vector<Condition> d;
    const auto errors = parse(many, d);
    EXPECT_EQ(errors.size(), kDesignProblemLimit);
    EXPECT_EQ(errors.back().line, 101);
}

TEST(DesignRead, ReportsEveryProblem) {
    std::vector<Condition> d;
    const auto errors = parse(kHeader + "1,1,0,0,0,0,0,1,1,0,0\n2,2,5,5,x,0,0,1,1,0,0\n2,1,5,5,0,0,0,1,1,0,0\n", d);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0].column, 5);
    EXPECT_EQ(errors[1].column, 7);
    EXPECT_EQ(errors[2].line, 3);
    EXPECT_EQ(errors[3].line, 4);
    EXPECT_TRUE(d.empty());
}

TEST(DesignSeed, DocumentedHash) {
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cULL);
    const Condition c = condition(9, Option::EffectSizes, {10, 10, 0.1f, 1, 0, 1, 1, 0, 0.4f});
    EXPECT_EQ(canonicalParameters(c),
              "option=1;n_a=10;n_b=10;trend=3dcccccd;level=3f800000;slope=00000000;sd_a=3f800000;"
              "sd_b=3f800000;ar1=00000000;ma1=3ecccccd");
    // Computed from the text above by a separate implementation of FNV-1a.
    EXPECT_EQ(conditionSeed(7487, c), 1949463626u);
    EXPECT_EQ(conditionSeed(1, condition(1, Option::Varden, {3, 3, 0, 0, 0, 1, 1, 0.3f, 0})), 3943178974u);
}

TEST(DesignSeed, DependsOnParametersAndBaseOnly) {
    const ModelParameters m{10, 10, 0.1f, 1, 0, 1, 1, 0, 0.4f};
    const std::uint32_t s = conditionSeed(7, condition(1, Option::EffectSizes, m));
    EXPECT_EQ(conditionSeed(7, condition(500, Option::EffectSizes, m)), s) << "the id is not part of it";
    EXPECT_NE(conditionSeed(8, condition(1, Option::EffectSizes, m)), s);
    EXPECT_NE(conditionSeed(7, condition(1, Option::Varden, m)), s);
    ModelParameters other = m;
    other.fMA1 = std::nextafter(0.4f, 1.0f);
    EXPECT_NE(conditionSeed(7, condition(1, Option::EffectSizes, other)), s) << "one ulp is another condition";
    other = m;
    other.fB3 = -0.0f;
    EXPECT_EQ(conditionSeed(7, condition(1, Option::EffectSizes, other)), s) << "-0 is the coefficient 0";
    other = m;
    other.fB3 = std::bit_cast<float>(0x7fc00123u);
    ModelParameters quiet = m;
    quiet.fB3 = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(conditionSeed(7, condition(1, Option::EffectSizes, other)),
              conditionSeed(7, condition(1, Option::EffectSizes, quiet)))
        << "a NaN is one NaN, whatever its bits";
    other = m;
    std::swap(other.nA, other.nB);
    other.nA = 11;
    EXPECT_NE(conditionSeed(7, condition(1, Option::EffectSizes, other)), s);
}

TEST(DesignHash, IgnoresRowOrderButNotIdsOrValues) {
    FactorLists f;
    f.nA = {3, 4, 5};
    f.nB = {6, 7};
    std::vector<Condition> d = expandDesign(f).design;
    const std::string h = designHash(d);
    EXPECT_EQ(h.size(), 16u);
    std::reverse(d.begin(), d.end());
    EXPECT_EQ(designHash(d), h);
    d[0].id = 99;
    EXPECT_NE(designHash(d), h);
    d[0].id = 6;
    d[1].model.fB2 = 0.5f;
    EXPECT_NE(designHash(d), h);
    d.pop_back();
    EXPECT_NE(designHash(d), h);
}
