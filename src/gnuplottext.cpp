#include "gnuplottext.h"

#include "utf8.h"

namespace plot {

std::string gnuplotShown(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = nextCharacter(text, at);
        if (!c.valid)
            appendUtf8(out, 0xFFFD);
        else if (c.codePoint < 0x20 || (c.codePoint >= 0x7F && c.codePoint <= 0x9F))
            out += ' ';
        else
            out.append(text.substr(at, c.length));
        at += c.length;
    }
    return out;
}

std::string gnuplotString(std::string_view text) {
    // gnuplot's reader takes a doubled quote for one quote only after a
    // character that is not a quote: '''' is two empty strings, not one
    // quote.  Any other quote closes the literal, follows as the constant
    // "'" and the literal reopens.
    std::string out = "'";
    char previous = '\'';
    for (const char c : gnuplotShown(text)) {
        if (c != '\'')
            out += c;
        else if (previous != '\'')
            out += "''";
        else
            out += "'.\"'\".'";
        previous = c;
    }
    out += '\'';
    return out;
}

std::string gnuplotLines(const std::vector<std::string>& lines) {
    if (lines.empty()) return "''";
    std::string out = gnuplotString(lines.front());
    for (std::size_t i = 1; i < lines.size(); ++i) out += ".\"\\n\"." + gnuplotString(lines[i]);
    return out;
}

ScriptStrings splitStrings(std::string_view script) {
    constexpr std::string_view kJoin = ".\"'\".'";
    ScriptStrings s;
    for (std::size_t at = 0; at < script.size();) {
        if (script[at] != '\'') {
            s.commands += script[at++];
            continue;
        }
        std::string text;
        ++at;
        bool afterQuote = true;  // the opening quote counts as one
        while (at < script.size()) {
            if (script[at] != '\'') {
                text += script[at++];
                afterQuote = false;
            } else if (!afterQuote && at + 1 < script.size() && script[at + 1] == '\'') {
                text += '\'';
                at += 2;
                afterQuote = true;
            } else if (script.substr(at + 1, kJoin.size()) == kJoin) {
                text += '\'';
                at += 1 + kJoin.size();
                afterQuote = true;
            } else {
                ++at;
                break;
            }
        }
        s.commands += "''";
        s.texts.push_back(std::move(text));
    }
    return s;
}

}  // namespace plot
