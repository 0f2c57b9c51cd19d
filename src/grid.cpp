// The grid run's option values as the command line gives them, and the
// warnings on a design's models.
#include "grid.h"

#include <ostream>

#include "modelcheck.h"

bool parseShard(const std::string& text, int& shard, int& shards, std::string& error) {
    const auto slash = text.find('/');
    const auto whole = [](const std::string& s, int& v) {
        if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
        v = std::stoi(s);
        return true;
    };
    int k = 0;
    int n = 0;
    if (slash == std::string::npos || !whole(text.substr(0, slash), k) || !whole(text.substr(slash + 1), n)) {
        error = "'" + text + "' is not of the form K/N";
        return false;
    }
    if (n < 1 || k < 1 || k > n) {
        error = "'" + text + "' needs 1 <= K <= N";
        return false;
    }
    shard = k;
    shards = n;
    return true;
}

bool parseSeedMode(const std::string& text, SeedMode& mode) {
    if (text == "fixed") {
        mode = SeedMode::Fixed;
        return true;
    }
    if (text == "per-condition") {
        mode = SeedMode::PerCondition;
        return true;
    }
    return false;
}

void warnModelSlips(const std::vector<Condition>& conditions, const std::string& where, std::ostream& err) {
    constexpr std::size_t kIdsShown = 8;
    for (const ModelSlip kind : {ModelSlip::ArNotStationary, ModelSlip::MaNotInvertible, ModelSlip::NegativeSdA,
                                 ModelSlip::NegativeSdB}) {
        std::vector<int> ids;
        for (const Condition& c : conditions)
            for (const ModelSlip slip : modelSlips(c.model))
                if (slip == kind) ids.push_back(c.id);
        if (ids.empty()) continue;
        std::string shown;
        for (std::size_t i = 0; i < ids.size() && i < kIdsShown; ++i) shown += (i > 0 ? ", " : "") + std::to_string(ids[i]);
        if (ids.size() > kIdsShown) shown += ", ...";
        err << where << "warning: " << slipInfo(kind).what << "; " << ids.size()
            << (ids.size() == 1 ? " condition" : " conditions") << " (" << shown << ") run as given\n";
    }
}
