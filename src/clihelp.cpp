#include "clihelp.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>

namespace {

class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::stringstream out;
        out << make_description(app) << make_usage(app, name) << make_positionals(app) << make_groups(app, mode)
            << inherited(app) << make_subcommands(app, mode) << '\n'
            << make_footer(app);
        return out.str();
    }

private:
    // The options of the commands above app, which work after its name too;
    // each command lists its own --help.
    std::string inherited(const CLI::App* app) const {
        std::vector<const CLI::Option*> options;
        for (const CLI::App* above = app->get_parent(); above != nullptr; above = above->get_parent())
            for (const CLI::Option* opt : above->get_options())
                if (opt->nonpositional() && opt != above->get_help_ptr()) options.push_back(opt);
        if (options.empty()) return "";
        return make_group("Options of " + rootName(app), false, options);
    }

    static std::string rootName(const CLI::App* app) {
        while (app->get_parent() != nullptr) app = app->get_parent();
        return app->get_name();
    }
};

// "a", "a or b", "a, b or c".
std::string listed(const std::vector<std::string>& words, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? std::string(" ") + last + " " : std::string(", ");
        text += words[i];
    }
    return text;
}

std::vector<std::string> commandNames(const CLI::App* app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app->get_subcommands({})) names.push_back(sub->get_name());
    return names;
}

const CLI::App* commandNamed(const CLI::App* app, const std::string& name) {
    for (const CLI::App* sub : app->get_subcommands({}))
        if (sub->get_name() == name) return sub;
    return nullptr;
}

bool hasPositionals(const CLI::App* app) {
    const auto options = app->get_options();
    return std::any_of(options.begin(), options.end(), [](const CLI::Option* o) { return o->get_positional(); });
}

// Walks the arguments as the parser does, command by command; global
// options work after a command's name, so each word is looked up in the
// command it follows and in those above.
class Walk {
public:
    explicit Walk(const CLI::App& program) : at_(&program) {}

    std::string run(const std::vector<std::string>& args) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "--") return "";  // the rest are values
            const bool option = arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.';
            std::string problem = option ? takeOption(arg, i) : takeWord(arg);
            if (!problem.empty()) return problem;
        }
        if (at_->get_require_subcommand_min() > 0)
            return where() + "a command is required: " + listed(commandNames(at_), "or");
        return "";
    }

private:
    std::string where() const {
        std::string path;
        for (const CLI::App* app = at_; app->get_parent() != nullptr; app = app->get_parent())
            path = app->get_name() + (path.empty() ? "" : " " + path);
        return path.empty() ? "" : path + ": ";
    }

    const CLI::Option* find(const std::string& name) const {
        for (const CLI::App* app = at_; app != nullptr; app = app->get_parent())
            if (const CLI::Option* opt = app->get_option_no_throw(name)) return opt;
        return nullptr;
    }

    // Skips the option's value (i moves past it) when it takes one.
    std::string takeOption(const std::string& arg, std::size_t& i) const {
        const bool isLong = arg.rfind("--", 0) == 0;
        const std::size_t equals = arg.find('=');
        // -oFILE and --name=VALUE carry their value.
        const std::string name = isLong ? arg.substr(0, equals) : arg.substr(0, 2);
        const bool joined = isLong ? equals != std::string::npos : arg.size() > 2;
        if (const CLI::Option* opt = find(name)) {
            if (!joined && opt->get_items_expected_max() > 0) ++i;  // its value
            return "";
        }
        std::string problem = where() + "unknown option '" + name + "'";
        if (isLong) {
            std::vector<std::string> known;
            for (const CLI::App* app = at_; app != nullptr; app = app->get_parent())
                for (const CLI::Option* opt : app->get_options())
                    for (const std::string& l : opt->get_lnames()) known.push_back("--" + l);
            if (const std::string near = nearestWord(name, known); !near.empty())
                problem += "; did you mean " + near + "?";
        }
        return problem;
    }

    std::string takeWord(const std::string& word) {
        for (const CLI::App* app = at_; app != nullptr; app = app->get_parent())
            if (const CLI::App* sub = commandNamed(app, word)) {
                at_ = sub;
                return "";
            }
        const std::vector<std::string> commands = commandNames(at_);
        if (commands.empty() || hasPositionals(at_)) return "";  // a value of the command
        std::string problem = where() + "unknown command '" + word + "'";
        if (const std::string near = nearestWord(word, commands); !near.empty())
            return problem + "; did you mean " + near + "?";
        return problem + "; the commands are " + listed(commands, "and");
    }

    const CLI::App* at_;
};

}  // namespace

std::shared_ptr<CLI::FormatterBase> helpFormatter() { return std::make_shared<HelpFormatter>(); }

int editDistance(const std::string& a, const std::string& b) {
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (std::size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= n; ++i)
        for (std::size_t j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

std::string nearestWord(const std::string& word, const std::vector<std::string>& candidates) {
    // Leading dashes are the same in every option name; they count no letters.
    const std::size_t letters = word.size() - std::min(word.find_first_not_of('-'), word.size());
    const int allowed = std::max(1, static_cast<int>(letters / 3));
    std::string best;
    int bestDistance = allowed + 1;
    for (const std::string& c : candidates) {
        int distance = editDistance(word, c);
        if (letters >= 3 && c.size() > word.size() && c.compare(0, word.size(), word) == 0) distance = 1;
        if (distance < bestDistance) {
            best = c;
            bestDistance = distance;
        }
    }
    return best;
}

std::string misplacedWord(const CLI::App& program, const std::vector<std::string>& args) {
    return Walk(program).run(args);
}
