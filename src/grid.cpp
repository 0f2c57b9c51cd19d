// The grid run's option values as the command line gives them.
#include "grid.h"

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
