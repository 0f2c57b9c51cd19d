#include "sidecar.h"

#include <limits>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "zelkor-grid-results";

// The length of the well-formed UTF-8 sequence at text[i], 0 when there is none.
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c == 0xE0) n = 3, low = 0xA0;
    else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) n = 3;
    else if (c == 0xED) n = 3, high = 0x9F;  // no surrogates
    else if (c == 0xF0) n = 4, low = 0x90;
    else if (c >= 0xF1 && c <= 0xF3) n = 4;
    else if (c == 0xF4) n = 4, high = 0x8F;
    else return 0;
    if (i + n > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

// The text with every byte that starts no UTF-8 sequence read as Latin-1.
std::string asUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Length(text, i);
        if (n > 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i++]);
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Readers of one field, each false with a message naming it.
class Fields {
public:
    Fields(const Json& root, std::string& error) : root_(root), error_(error) {}

    bool text(const char* name, std::string& out) {
        const Json* v = find(name);
        if (v == nullptr) return false;
        if (!v->is_string()) return wrongType(name);
        out = v->get<std::string>();
        return true;
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

private:
    const Json* find(const char* name) {
        const Json* v = optional(name);
        if (v == nullptr) error_ = std::string("field '") + name + "' is missing";
        return v;
    }

    bool wrongType(const char* name) {
        error_ = std::string("field '") + name + "' has the wrong type";
        return false;
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
    std::string& error_;
};

bool readFields(const Json& root, Sidecar& s, std::string& error) {
    Fields f(root, error);
    std::string format;
    if (!f.text("format", format)) return false;
    if (format != kFormat) {
        error = "not a results sidecar (format '" + format + "')";
        return false;
    }
    if (!f.whole("format_version", s.formatVersion)) return false;
    if (s.formatVersion != kSidecarFormatVersion) {
        error = "format version " + std::to_string(s.formatVersion) + " is not supported";
        return false;
    }
    if (!f.text("program_version", s.programVersion) || !f.text("design_hash", s.designHash) ||
        !f.whole("design_conditions", s.designConditions) || !f.whole("shard", s.shard) ||
        !f.whole("shards", s.shards) || !f.ids("conditions", s.conditions) || !f.text("seed_mode", s.seedMode) ||
        !f.whole("seed", s.seed) || !f.real("alpha", s.alpha) || !f.text("command_line", s.commandLine))
        return false;
    if (s.shards < 1 || s.shard < 1 || s.shard > s.shards) {
        error = "fields 'shard' and 'shards' do not name a shard K of N (1 <= K <= N)";
        return false;
    }
    const Json* reps = f.optional("replications");
    s.replications = 0;
    if (!(reps != nullptr && reps->is_string() && reps->get<std::string>() == "default") &&
        !f.whole("replications", s.replications))
        return false;
    const Json* perSeries = f.optional("per_series");
    s.perSeries = perSeries != nullptr && perSeries->is_string() ? perSeries->get<std::string>() : std::string();
    return true;
}

}  // namespace

std::string sidecarJson(const Sidecar& s) {
    Json j;
    j["format"] = kFormat;
    j["format_version"] = s.formatVersion;
    j["program_version"] = asUtf8(s.programVersion);
    j["design_hash"] = asUtf8(s.designHash);
    j["design_conditions"] = s.designConditions;
    j["shard"] = s.shard;
    j["shards"] = s.shards;
    j["conditions"] = s.conditions;
    j["seed_mode"] = asUtf8(s.seedMode);
    j["seed"] = s.seed;
    if (s.replications > 0)
        j["replications"] = s.replications;
    else
        j["replications"] = "default";
    j["alpha"] = s.alpha;
    j["per_series"] = s.perSeries.empty() ? Json(nullptr) : Json(asUtf8(s.perSeries));
    j["command_line"] = asUtf8(s.commandLine);
    return j.dump(2) + "\n";
}

bool parseSidecar(const std::string& text, Sidecar& s, std::string& error) {
    Json root;
    try {
        root = Json::parse(asUtf8(text));
    } catch (const Json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 1, ...": the part after the tag.
        const std::string what = e.what();
        const auto tag = what.find("] ");
        error = "not JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2));
        return false;
    }
    if (!root.is_object()) {
        error = "not a JSON object";
        return false;
    }
    return readFields(root, s, error);
}

Sidecar storedSidecar(const Sidecar& s) {
    Sidecar stored = s;
    std::string error;
    parseSidecar(sidecarJson(s), stored, error);
    return stored;
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
