// The sidecar: written and read back by the JSON library, sidecars of
// version 0.1 read as they were written, and refusals that name the field.
#include "sidecar.h"
#include "partcheck.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Sidecar example() {
    Sidecar s;
    s.programVersion = "0.1";
    s.designHash = "0123456789abcdef";
    s.designConditions = 200;
    s.shard = 3;
    s.shards = 4;
    s.conditions = {3, 7, 11};
    s.seedMode = "per-condition";
    s.seed = 4294967295u;
    s.replications = 500;
    s.alpha = 0.1;
    s.perSeries = "series \"x\".csv";
    s.commandLine = "zelkor grid run 'a b.csv' -o \"r\\.csv\"\t\n\x01 \xce\xb2";
    return s;
}

void expectSame(const Sidecar& a, const Sidecar& b) {
    EXPECT_EQ(a.formatVersion, b.formatVersion);
    EXPECT_EQ(a.programVersion, b.programVersion);
    EXPECT_EQ(a.designHash, b.designHash);
    EXPECT_EQ(a.designConditions, b.designConditions);
    EXPECT_EQ(a.shard, b.shard);
    EXPECT_EQ(a.shards, b.shards);
    EXPECT_EQ(a.conditions, b.conditions);
    EXPECT_EQ(a.seedMode, b.seedMode);
    EXPECT_EQ(a.seed, b.seed);
    EXPECT_EQ(a.replications, b.replications);
    EXPECT_EQ(a.alpha, b.alpha);
    EXPECT_EQ(a.perSeries, b.perSeries);
    EXPECT_EQ(a.commandLine, b.commandLine);
}

}  // namespace

TEST(Sidecar, RoundTripsWithAwkwardCommandLine) {
    const Sidecar s = example();
    const std::string json = sidecarJson(s);
    EXPECT_NE(json.find("\\u0001"), std::string::npos);
    EXPECT_NE(json.find("\"alpha\": 0.1,"), std::string::npos);
    EXPECT_EQ(json.find("\"format\""), 4u) << "the fields in their order, one per line";
    EXPECT_LT(json.find("\"format_version\""), json.find("\"command_line\""));
    Sidecar back;
    std::string error;
    ASSERT_TRUE(parseSidecar(json, back, error)) << error;
    expectSame(back, s);
    EXPECT_EQ(studyDifference(s, back), "");
    EXPECT_EQ(sidecarJson(back), json);

    Sidecar bare = s;
    bare.replications = 0;
    bare.conditions.clear();
    bare.perSeries.clear();
    const std::string bareJson = sidecarJson(bare);
    EXPECT_NE(bareJson.find("\"replications\": \"default\""), std::string::npos);
    EXPECT_NE(bareJson.find("\"per_series\": null"), std::string::npos);
    ASSERT_TRUE(parseSidecar(bareJson, back, error)) << error;
    expectSame(back, bare);
}

// A sidecar as version 0.1 wrote it, byte for byte.
TEST(Sidecar, ReadsTheFilesOfVersion01) {
    const std::string old =
        "{\n"
        "  \"format\": \"zelkor-grid-results\",\n"
        "  \"format_version\": 1,\n"
        "  \"program_version\": \"0.1\",\n"
        "  \"design_hash\": \"9e9b89282fd6d1df\",\n"
        "  \"design_conditions\": 5,\n"
        "  \"shard\": 2,\n"
        "  \"shards\": 2,\n"
        "  \"conditions\": [1, 2],\n"
        "  \"seed_mode\": \"fixed\",\n"
        "  \"seed\": 7487,\n"
        "  \"replications\": 40,\n"
        "  \"alpha\": 0.05,\n"
        "  \"per_series\": \"s4-2.csv\",\n"
        "  \"command_line\": \"./zelkor grid run d4.csv --replications 40 --shard 2/2 --per-series \\u0001 -o "
        "r.csv\"\n"
        "}\n";
    Sidecar s;
    std::string error;
    ASSERT_TRUE(parseSidecar(old, s, error)) << error;
    EXPECT_EQ(s.formatVersion, 1) << "its results file has the column se";
    EXPECT_EQ(s.designHash, "9e9b89282fd6d1df");
    EXPECT_EQ(s.conditions, (std::vector<int>{1, 2}));
    EXPECT_EQ(s.shard, 2);
    EXPECT_EQ(s.replications, 40);
    EXPECT_EQ(s.alpha, 0.05);
    EXPECT_EQ(s.perSeries, "s4-2.csv");
    EXPECT_EQ(s.commandLine, "./zelkor grid run d4.csv --replications 40 --shard 2/2 --per-series \x01 -o r.csv");
}

// A file name that is not UTF-8 is kept readable, and its exact bytes beside
// it; version 0.1 wrote such names as raw bytes, and they read back as those.
TEST(Sidecar, NamesThatAreNotUtf8KeepTheirBytes) {
    Sidecar s = example();
    s.perSeries = "s\xe9ries.csv";  // Latin-1 e-acute
    s.commandLine = "zelkor grid run d.csv --per-series s\xe9ries.csv";
    const std::string json = sidecarJson(s);
    EXPECT_NE(json.find("\"per_series\": \"s\xef\xbf\xbdries.csv\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"per_series_bytes\": \"s%E9ries.csv\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"command_line_bytes\""), std::string::npos);
    EXPECT_EQ(sidecarJson(example()).find("_bytes"), std::string::npos) << "UTF-8 needs no bytes field";
    Sidecar back;
    std::string error;
    ASSERT_TRUE(parseSidecar(json, back, error)) << error;
    expectSame(back, s);

    std::string raw = sidecarJson(example());
    raw.replace(raw.find("series \\\"x\\\""), 6, "s\xe9r\xff\xfe");
    ASSERT_TRUE(parseSidecar(raw, back, error)) << error;
    EXPECT_EQ(back.perSeries, "s\xe9r\xff\xfe \"x\".csv");
    EXPECT_EQ(back.commandLine, example().commandLine) << "UTF-8 text beside raw bytes is read as it is";

    std::string broken = json;
    broken.replace(broken.find("s%E9ries"), 8, "s%E");
    EXPECT_FALSE(parseSidecar(broken, back, error));
    EXPECT_EQ(error, "field 'per_series_bytes' is not a text of %XX escapes");
}

TEST(Sidecar, NamesTheFirstDifferenceAndRejectsOtherFiles) {
    Sidecar a;
    a.seedMode = "fixed";
    Sidecar b = a;
    b.shard = 2;
    b.shards = 1;
    b.conditions = {4};
    b.commandLine = "other";
    EXPECT_EQ(studyDifference(a, b), "") << "shard, conditions and command line may differ";
    b.alpha = 0.01;
    EXPECT_EQ(studyDifference(a, b), "alpha");
    b.seed = 1;
    EXPECT_EQ(studyDifference(a, b), "seed");
    b.designHash = "x";
    EXPECT_EQ(studyDifference(a, b), "design_hash");

    Sidecar s;
    std::string error;
    for (const char* bad : {"", "[]", "{", "{\"format\": \"zelkor-grid-results\"}", "{\"format\": \"other\"}",
                            "{} x", "\"text\""})
        EXPECT_FALSE(parseSidecar(bad, s, error)) << bad;
    a.programVersion = "0.1";
    a.designHash = "0123456789abcdef";
    a.designConditions = 3;
    a.rowsDigest = "sha256:" + std::string(64, 'a');
    const auto refused = [&](const std::string& from, const std::string& to, const std::string& message) {
        std::string json = sidecarJson(a);
        ASSERT_NE(json.find(from), std::string::npos) << from;
        json.replace(json.find(from), from.size(), to);
        EXPECT_FALSE(parseSidecar(json, s, error)) << to;
        EXPECT_EQ(error, message);
    };
    refused("\"seed\": 0", "\"seed\": -1", "field 'seed' is not a whole number in range");
    refused("\"seed\": 0", "\"seed\": 4294967296", "field 'seed' is not a whole number in range");
    refused("\"seed\": 0", "\"seed\": 1.5", "field 'seed' has the wrong type");
    // Values no run writes, each named.
    refused("\"shard\": 1", "\"shard\": 3", "field 'shard' must be from 1 to the shards, 1, found 3");
    refused("\"shard\": 1", "\"shard\": 0", "field 'shard' must be from 1 to the shards, 1, found 0");
    refused("\"shards\": 1", "\"shards\": 0", "field 'shards' must be at least 1, found 0");
    refused("\"replications\": \"default\"", "\"replications\": 0",
            "field 'replications' must be a whole number of at least 1 or \"default\", found 0");
    refused("\"replications\": \"default\"", "\"replications\": -19999",
            "field 'replications' must be a whole number of at least 1 or \"default\", found -19999");
    refused("\"replications\": \"default\"", "\"replications\": \"many\"", "field 'replications' has the wrong type");
    refused("0123456789abcdef", "0123456789abcde\\u001b", "field 'design_hash' must be 16 hex digits, found '0123456789abcde\\x1b'");
    refused("0123456789abcdef", "0123456789ABCDEF", "field 'design_hash' must be 16 hex digits, found '0123456789ABCDEF'");
    refused("\"design_conditions\": 3", "\"design_conditions\": 0", "field 'design_conditions' must be at least 1, found 0");
    refused("\"conditions\": []", "\"conditions\": [2, 2]",
            "field 'conditions' must be positive ids in ascending order, found 2 at place 2");
    refused("\"conditions\": []", "\"conditions\": [1, 2, 3, 4]",
            "field 'conditions' must be at most the design's conditions, found 4 ids");
    refused("\"seed_mode\": \"fixed\"", "\"seed_mode\": \"random\"",
            "field 'seed_mode' must be 'fixed' or 'per-condition', found 'random'");
    refused("\"alpha\": 0.05", "\"alpha\": 1.0", "field 'alpha' must be a number between 0 and 1, found 1");
    refused("\"alpha\": 0.05", "\"alpha\": -0.0", "field 'alpha' must be a number between 0 and 1, found -0");
    refused("\"sha256:a", "\"sha256:\\na", "field 'rows_digest' must be \"sha256:\" and 64 hex digits, found 'sha256:\\naaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'... (72 bytes)");
    refused("\"program_version\": \"0.1\"", "\"program_version\": \"\\u009b31m\"",
            "field 'program_version' must be a printable version, found '\\u009B31m'");
    refused("\"alpha\": 0.05", "\"alpha\": \"0.05\"", "field 'alpha' has the wrong type");
    refused("\"format_version\": 2", "\"format_version\": 3", "format version 3 is not supported");
    refused("\"format_version\": 2", "\"format_version\": 0", "format version 0 is not supported");
    refused("\"conditions\": []", "\"conditions\": [1, \"2\"]", "field 'conditions' has the wrong type");
    refused("\"design_hash\": \"0123456789abcdef\",\n", "", "field 'design_hash' is missing");
    EXPECT_FALSE(parseSidecar("{\"format\": 7}", s, error));
    EXPECT_EQ(error, "field 'format' has the wrong type");
    EXPECT_FALSE(parseSidecar("{\"format\": \"\x1b[2J" + std::string(100000, 'x'), s, error));
    EXPECT_LT(error.size(), 300u) << error;
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    EXPECT_FALSE(parseSidecar("{", s, error));
    EXPECT_EQ(error.rfind("not JSON: parse error at line 1, column 2", 0), 0u) << error;
}

TEST(Sidecar, ChosenStatisticsRoundTripAndTellStudiesApart) {
    Sidecar plain;
    plain.programVersion = "0.1";
    plain.designHash = "0123456789abcdef";
    plain.designConditions = 1;
    plain.seedMode = "fixed";
    Sidecar chosen = plain;
    chosen.statistics = {"NAP", "PL-Tau"};
    EXPECT_EQ(sidecarJson(plain).find("statistics"), std::string::npos) << "absent when not asked for";
    Sidecar back;
    std::string error;
    ASSERT_TRUE(parseSidecar(sidecarJson(chosen), back, error)) << error;
    EXPECT_EQ(back.statistics, chosen.statistics);
    ASSERT_TRUE(parseSidecar(sidecarJson(plain), back, error)) << error;
    EXPECT_TRUE(back.statistics.empty());
    EXPECT_EQ(studyDifference(plain, chosen), "statistics");
    std::string wrong = sidecarJson(chosen);
    wrong.replace(wrong.find("\"NAP\""), 5, "7");
    EXPECT_FALSE(parseSidecar(wrong, back, error));
}

// Parts sealed by earlier builds must still verify: the digest is SHA-256 of
// the settings text and the rows after the header, as first defined.
TEST(Sidecar, RowsDigestKeepsItsDefinition) {
    const std::string results = "condition_id,statistic,mean\n3,PND,0.5\n7,PND,\"a\"\n";
    EXPECT_EQ(rowsDigest(example(), results),
              "sha256:a1beee5503fe6d5e530e28b9626e50119cb31ed39b3160ba8d7f1c32d4a3ad94");
}
