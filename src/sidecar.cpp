#include "sidecar.h"

#include <limits>

#include <nlohmann/json.hpp>

#include "jsontext.h"
#include "messagetext.h"
#include "numbertext.h"
#include "utf8.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "zelkor-grid-results";
constexpr const char* kAnalysisFormat = "zelkor-analysis-results";
// The analysis results' own format (columns and sidecar), apart from a study's.
constexpr int kAnalysisFormatVersion = 1;
// Beside a text field whose bytes are not UTF-8: their exact text (jsontext.h).
constexpr const char* kBytesSuffix = "_bytes";

// Version 0.1 wrote paths and command lines as raw bytes, UTF-8 or not, which
// a JSON parser refuses.  Before such a text is parsed, every byte that is
// no part of a well-formed character becomes a private-use character
// U+F700 + byte, and the strings read from it are turned back byte for byte.
constexpr char32_t kRawByteBase = 0xF700;

std::string escapeRawBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = nextCharacter(text, at);
        if (c.valid)
            out.append(text.substr(at, c.length));
        else
            appendUtf8(out, kRawByteBase + static_cast<unsigned char>(text[at]));
        at += c.length;
    }
    return out;
}

std::string restoreRawBytes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = nextCharacter(text, at);
        if (c.valid && c.codePoint >= kRawByteBase + 0x80 && c.codePoint <= kRawByteBase + 0xFF)
            out += static_cast<char>(c.codePoint - kRawByteBase);
        else
            out.append(text, at, c.length);
        at += c.length;
    }
    return out;
}

// Readers of one field, each false with a message naming it.
class Fields {
public:
    Fields(const Json& root, bool rawBytes, std::string& error) : root_(root), rawBytes_(rawBytes), error_(error) {}

    bool text(const char* name, std::string& out) {
        const Json* v = find(name);
        if (v == nullptr) return false;
        if (!v->is_string()) return wrongType(name);
        out = rawBytes_ ? restoreRawBytes(v->get<std::string>()) : v->get<std::string>();
        return exact(name, out);
    }

    // A text that may be absent or null: empty then.
    bool optionalText(const char* name, std::string& out) {
        const Json* v = optional(name);
        out.clear();
        return v == nullptr || v->is_null() || text(name, out);
    }

    template <class T>
    bool whole(const char* name, T& out) {
        const Json* v = find(name);
        return v != nullptr && wholeValue(*v, name, out);
    }

    bool real(const char* name, double& out) {
        const Json* v = find(name);
        if (v == nullptr) return false;
        if (!v->is_number()) return wrongType(name);
        out = v->get<double>();
        return true;
    }

    bool ids(const char* name, std::vector<int>& out) {
        const Json* v = find(name);
        if (v == nullptr) return false;
        if (!v->is_array()) return wrongType(name);
        out.clear();
        for (const Json& item : *v) {
            int id = 0;
            if (!wholeValue(item, name, id)) return false;
            out.push_back(id);
        }
        return true;
    }

    // The field, or null when the object lacks it.
    const Json* optional(const char* name) const {
        const auto it = root_.find(name);
        return it == root_.end() ? nullptr : &*it;
    }

    bool wrongType(const char* name) {
        error_ = std::string("field '") + name + "' has the wrong type";
        return false;
    }

private:
    // The exact bytes of a text that is not UTF-8, from its NAME_bytes field.
    bool exact(const char* name, std::string& out) {
        const Json* bytes = optional((std::string(name) + kBytesSuffix).c_str());
        if (bytes == nullptr) return true;
        if (!bytes->is_string() || !bytesOfExactText(bytes->get<std::string>(), out)) {
            error_ = std::string("field '") + name + kBytesSuffix + "' is not a text of %XX escapes";
            return false;
        }
        return true;
    }

    const Json* find(const char* name) {
        const Json* v = optional(name);
        if (v == nullptr) error_ = std::string("field '") + name + "' is missing";
        return v;
    }

    template <class T>
    bool wholeValue(const Json& v, const char* name, T& out) {
        if (!v.is_number_integer()) return wrongType(name);
        const bool inRange = v.is_number_unsigned()
                                 ? v.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())
                                 : v.get<std::int64_t>() >= static_cast<std::int64_t>(std::numeric_limits<T>::min());
        if (!inRange) {
            error_ = std::string("field '") + name + "' is not a whole number in range";
            return false;
        }
        out = v.is_number_unsigned() ? static_cast<T>(v.get<std::uint64_t>()) : static_cast<T>(v.get<std::int64_t>());
        return true;
    }

    const Json& root_;
    bool rawBytes_;  // the text held raw bytes that are not UTF-8
    std::string& error_;
};

bool isHex(std::string_view text) {
    return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A message naming the field and what it holds; false.
bool badField(std::string& error, const char* name, const std::string& found, const char* expected) {
    error = std::string("field '") + name + "' must be " + expected + ", found " + found;
    return false;
}

// The values no run writes.
bool checkValues(const Sidecar& s, std::string& error) {
    if (s.designHash.size() != 16 || !isHex(s.designHash))
        return badField(error, "design_hash", quotedExcerpt(s.designHash), "16 hex digits");
    if (s.designConditions < 1)
        return badField(error, "design_conditions", std::to_string(s.designConditions), "at least 1");
    if (s.shards < 1) return badField(error, "shards", std::to_string(s.shards), "at least 1");
    if (s.shard < 1 || s.shard > s.shards)
        return badField(error, "shard", std::to_string(s.shard),
                        ("from 1 to the shards, " + std::to_string(s.shards)).c_str());
    if (static_cast<long long>(s.conditions.size()) > s.designConditions)
        return badField(error, "conditions", std::to_string(s.conditions.size()) + " ids",
                        "at most the design's conditions");
    for (std::size_t k = 0; k < s.conditions.size(); ++k)
        if (s.conditions[k] < 1 || (k > 0 && s.conditions[k] <= s.conditions[k - 1]))
            return badField(error, "conditions", std::to_string(s.conditions[k]) + " at place " + std::to_string(k + 1),
                            "positive ids in ascending order");
    if (s.seedMode != "fixed" && s.seedMode != "per-condition")
        return badField(error, "seed_mode", quotedExcerpt(s.seedMode), "'fixed' or 'per-condition'");
    if (!(s.alpha > 0.0 && s.alpha < 1.0))
        return badField(error, "alpha", doubleText(s.alpha), "a number between 0 and 1");
    if (!s.rowsDigest.empty() && !(s.rowsDigest.size() == 71 && s.rowsDigest.starts_with("sha256:") &&
                                   isHex(std::string_view(s.rowsDigest).substr(7))))
        return badField(error, "rows_digest", quotedExcerpt(s.rowsDigest), "\"sha256:\" and 64 hex digits");
    if (const std::string shown = printableText(s.programVersion); shown != s.programVersion || shown.empty())
        return badField(error, "program_version", quotedExcerpt(s.programVersion), "a printable version");
    return true;
}

bool readFields(const Json& root, bool rawBytes, Sidecar& s, std::string& error) {
    Fields f(root, rawBytes, error);
    std::string format;
    if (!f.text("format", format)) return false;
    if (format != kFormat) {
        error = "not a results sidecar (format " + quotedExcerpt(format) + ")";
        return false;
    }
    if (!f.whole("format_version", s.formatVersion)) return false;
    if (s.formatVersion < kOldestResultsFormatVersion || s.formatVersion > kResultsFormatVersion) {
        error = "format version " + std::to_string(s.formatVersion) + " is not supported";
        return false;
    }
    if (!f.text("program_version", s.programVersion) || !f.text("design_hash", s.designHash) ||
        !f.whole("design_conditions", s.designConditions) || !f.whole("shard", s.shard) ||
        !f.whole("shards", s.shards) || !f.ids("conditions", s.conditions) || !f.text("seed_mode", s.seedMode) ||
        !f.whole("seed", s.seed) || !f.real("alpha", s.alpha) || !f.text("command_line", s.commandLine))
        return false;
    // A count of at least 1, or "default" (held as 0).
    const Json* reps = f.optional("replications");
    s.replications = 0;
    if (!(reps != nullptr && reps->is_string() && reps->get<std::string>() == "default")) {
        if (!f.whole("replications", s.replications)) return false;
        if (s.replications < 1)
            return badField(error, "replications", std::to_string(s.replications),
                            "a whole number of at least 1 or \"default\"");
    }
    if (!f.optionalText("per_series", s.perSeries) || !f.optionalText("rows_digest", s.rowsDigest)) return false;
    s.statistics.clear();
    const Json* statistics = f.optional("statistics");
    if (statistics != nullptr && !statistics->is_null()) {
        if (!statistics->is_array()) return f.wrongType("statistics");
        for (const Json& label : *statistics) {
            if (!label.is_string()) return f.wrongType("statistics");
            s.statistics.push_back(label.get<std::string>());
        }
    }
    return checkValues(s, error);
}

}  // namespace

namespace {}  // namespace

namespace {

// A text field: readable UTF-8, and its exact bytes beside it when they are not UTF-8.
void putText(Json& j, const char* name, const std::string& text) {
    j[name] = jsonText(text);
    if (!isValidUtf8(text)) j[std::string(name) + kBytesSuffix] = exactText(text);
}

}  // namespace

std::string sidecarJson(const Sidecar& s) {
    Json j;
    j["format"] = kFormat;
    j["format_version"] = s.formatVersion;
    putText(j, "program_version", s.programVersion);
    putText(j, "design_hash", s.designHash);
    j["design_conditions"] = s.designConditions;
    j["shard"] = s.shard;
    j["shards"] = s.shards;
    j["conditions"] = s.conditions;
    putText(j, "seed_mode", s.seedMode);
    j["seed"] = s.seed;
    if (s.replications > 0)
        j["replications"] = s.replications;
    else
        j["replications"] = "default";
    j["alpha"] = s.alpha;
    if (s.perSeries.empty())
        j["per_series"] = nullptr;
    else
        putText(j, "per_series", s.perSeries);
    if (!s.statistics.empty()) j["statistics"] = s.statistics;
    putText(j, "command_line", s.commandLine);
    if (!s.rowsDigest.empty()) j["rows_digest"] = s.rowsDigest;
    return j.dump(2) + "\n";
}

std::string analysisSidecarJson(const AnalysisSidecar& s) {
    Json j;
    j["format"] = kAnalysisFormat;
    j["format_version"] = kAnalysisFormatVersion;
    putText(j, "program_version", s.programVersion);
    putText(j, "data", s.data);
    j["statistics"] = s.statistics;
    j["seed"] = s.seed;
    j["wide"] = s.wide;
    putText(j, "command_line", s.commandLine);
    return j.dump(2) + "\n";
}

bool parseSidecar(const std::string& text, Sidecar& s, std::string& error) {
    Json root;
    const bool rawBytes = !isValidUtf8(text);
    try {
        root = Json::parse(rawBytes ? escapeRawBytes(text) : text);
    } catch (const Json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 1, ...": the part after the tag.
        // The parser quotes what it read last, which may be long: cut and escaped.
        const std::string what = e.what();
        const auto tag = what.find("] ");
        const std::string said = tag == std::string::npos ? what : what.substr(tag + 2);
        error = "not JSON: " + printableText(said.substr(0, 200)) + (said.size() > 200 ? "..." : "");
        return false;
    }
    if (!root.is_object()) {
        error = "not a JSON object";
        return false;
    }
    return readFields(root, rawBytes, s, error);
}

std::string studyDifference(const Sidecar& a, const Sidecar& b) {
    if (a.formatVersion != b.formatVersion) return "format_version";
    if (a.programVersion != b.programVersion) return "program_version";
    if (a.designHash != b.designHash) return "design_hash";
    if (a.designConditions != b.designConditions) return "design_conditions";
    if (a.shards != b.shards) return "shards";
    if (a.seedMode != b.seedMode) return "seed_mode";
    if (a.seed != b.seed) return "seed";
    if (a.replications != b.replications) return "replications";
    if (!(a.alpha == b.alpha)) return "alpha";
    if (a.statistics != b.statistics) return "statistics";
    return "";
}
