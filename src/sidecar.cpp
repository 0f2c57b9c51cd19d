#include "sidecar.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

// A parsed JSON value; numbers keep their text.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    std::string text;  // a number's text or a string's content
    bool flag = false;
    std::vector<Json> items;
    std::map<std::string, Json> fields;
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}

    bool document(Json& value) {
        if (!parseValue(value, 0)) return false;
        skipSpace();
        return pos_ == s_.size() || fail("text after the JSON value");
    }

    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& message) {
        if (error_.empty()) error_ = message + " at offset " + std::to_string(pos_);
        return false;
    }

    void skipSpace() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }

    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0) return fail("unknown word");
        pos_ += w.size();
        return true;
    }

    bool parseValue(Json& v, int depth) {
        if (depth > 16) return fail("nesting too deep");
        skipSpace();
        if (pos_ >= s_.size()) return fail("unexpected end");
        const char c = s_[pos_];
        if (c == '{') return parseObject(v, depth);
        if (c == '[') return parseArray(v, depth);
        if (c == '"') {
            v.kind = Json::Kind::String;
            return parseString(v.text);
        }
        if (c == 'n') {
            v.kind = Json::Kind::Null;
            return literal("null");
        }
        if (c == 't' || c == 'f') {
            v.kind = Json::Kind::Bool;
            v.flag = c == 't';
            return literal(c == 't' ? "true" : "false");
        }
        const std::size_t start = pos_;
        while (pos_ < s_.size() && std::string("+-0123456789.eE").find(s_[pos_]) != std::string::npos) ++pos_;
        if (pos_ == start) return fail("unexpected character");
        v.kind = Json::Kind::Number;
        v.text = s_.substr(start, pos_ - start);
        return true;
    }

    bool parseObject(Json& v, int depth) {
        v.kind = Json::Kind::Object;
        ++pos_;
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipSpace();
            std::string key;
            if (pos_ >= s_.size() || s_[pos_] != '"') return fail("expected a field name");
            if (!parseString(key)) return false;
            skipSpace();
            if (pos_ >= s_.size() || s_[pos_] != ':') return fail("expected ':'");
            ++pos_;
            Json item;
            if (!parseValue(item, depth + 1)) return false;
            if (!v.fields.emplace(key, std::move(item)).second) return fail("field '" + key + "' twice");
            skipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool parseArray(Json& v, int depth) {
        v.kind = Json::Kind::Array;
        ++pos_;
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            Json item;
            if (!parseValue(item, depth + 1)) return false;
            v.items.push_back(std::move(item));
            skipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }

    bool parseString(std::string& out) {
        ++pos_;  // the opening quote
        out.clear();
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) break;
            const char e = s_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned code = 0;
                if (pos_ + 4 > s_.size()) return fail("short \\u escape");
                const auto r = std::from_chars(s_.data() + pos_, s_.data() + pos_ + 4, code, 16);
                if (r.ptr != s_.data() + pos_ + 4) return fail("bad \\u escape");
                pos_ += 4;
                appendUtf8(out, code);
                break;
            }
            default: return fail("bad escape");
            }
        }
        return fail("unterminated string");
    }

    const std::string& s_;
    std::size_t pos_ = 0;
    std::string error_;
};

std::string shortestDouble(double value) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

template <class T>
bool wholeNumber(const Json& v, T& out) {
    if (v.kind != Json::Kind::Number) return false;
    const auto r = std::from_chars(v.text.data(), v.text.data() + v.text.size(), out);
    return r.ec == std::errc() && r.ptr == v.text.data() + v.text.size();
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string sidecarJson(const Sidecar& s) {
    std::string ids;
    for (std::size_t i = 0; i < s.conditions.size(); ++i)
        ids += (i == 0 ? "" : ", ") + std::to_string(s.conditions[i]);
    std::string json = "{\n";
    json += "  \"format\": \"zelkor-grid-results\",\n";
    json += "  \"format_version\": " + std::to_string(s.formatVersion) + ",\n";
    json += "  \"program_version\": " + jsonString(s.programVersion) + ",\n";
    json += "  \"design_hash\": " + jsonString(s.designHash) + ",\n";
    json += "  \"design_conditions\": " + std::to_string(s.designConditions) + ",\n";
    json += "  \"shard\": " + std::to_string(s.shard) + ",\n";
    json += "  \"shards\": " + std::to_string(s.shards) + ",\n";
    json += "  \"conditions\": [" + ids + "],\n";
    json += "  \"seed_mode\": " + jsonString(s.seedMode) + ",\n";
    json += "  \"seed\": " + std::to_string(s.seed) + ",\n";
    json += "  \"replications\": " +
            (s.replications > 0 ? std::to_string(s.replications) : std::string("\"default\"")) + ",\n";
    json += "  \"alpha\": " + shortestDouble(s.alpha) + ",\n";
    json += "  \"per_series\": " + (s.perSeries.empty() ? std::string("null") : jsonString(s.perSeries)) + ",\n";
    json += "  \"command_line\": " + jsonString(s.commandLine) + "\n";
    return json + "}\n";
}

bool parseSidecar(const std::string& text, Sidecar& s, std::string& error) {
    Json root;
    JsonReader reader(text);
    if (!reader.document(root)) {
        error = "not JSON: " + reader.error();
        return false;
    }
    if (root.kind != Json::Kind::Object) {
        error = "not a JSON object";
        return false;
    }
    const auto field = [&](const char* name, Json::Kind kind) -> const Json* {
        const auto it = root.fields.find(name);
        if (it == root.fields.end()) {
            error = std::string("field '") + name + "' is missing";
            return nullptr;
        }
        if (it->second.kind != kind) {
            error = std::string("field '") + name + "' has the wrong type";
            return nullptr;
        }
        return &it->second;
    };
    const auto number = [&](const char* name, auto& out) {
        const Json* v = field(name, Json::Kind::Number);
        if (v == nullptr) return false;
        if (!wholeNumber(*v, out)) {
            error = std::string("field '") + name + "' is not a whole number in range";
            return false;
        }
        return true;
    };
    const auto string = [&](const char* name, std::string& out) {
        const Json* v = field(name, Json::Kind::String);
        if (v == nullptr) return false;
        out = v->text;
        return true;
    };

    std::string format;
    if (!string("format", format)) return false;
    if (format != "zelkor-grid-results") {
        error = "not a results sidecar (format '" + format + "')";
        return false;
    }
    if (!number("format_version", s.formatVersion)) return false;
    if (s.formatVersion != kSidecarFormatVersion) {
        error = "format version " + std::to_string(s.formatVersion) + " is not supported";
        return false;
    }
    if (!string("program_version", s.programVersion) || !string("design_hash", s.designHash) ||
        !number("design_conditions", s.designConditions) || !number("shard", s.shard) ||
        !number("shards", s.shards) || !string("seed_mode", s.seedMode) || !number("seed", s.seed) ||
        !string("command_line", s.commandLine))
        return false;

    const Json* ids = field("conditions", Json::Kind::Array);
    if (ids == nullptr) return false;
    s.conditions.clear();
    for (const Json& item : ids->items) {
        int id = 0;
        if (!wholeNumber(item, id)) {
            error = "field 'conditions' holds something other than whole numbers";
            return false;
        }
        s.conditions.push_back(id);
    }

    const auto reps = root.fields.find("replications");
    if (reps != root.fields.end() && reps->second.kind == Json::Kind::String && reps->second.text == "default") {
        s.replications = 0;
    } else if (!number("replications", s.replications)) {
        return false;
    }

    const Json* alpha = field("alpha", Json::Kind::Number);
    if (alpha == nullptr) return false;
    const auto r = std::from_chars(alpha->text.data(), alpha->text.data() + alpha->text.size(), s.alpha);
    if (r.ec != std::errc() || r.ptr != alpha->text.data() + alpha->text.size()) {
        error = "field 'alpha' is not a number";
        return false;
    }

    const auto perSeries = root.fields.find("per_series");
    s.perSeries.clear();
    if (perSeries != root.fields.end() && perSeries->second.kind == Json::Kind::String)
        s.perSeries = perSeries->second.text;
    return true;
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
    return "";
}
