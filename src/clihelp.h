// Help that a user of the command line can act on: every command's --help
// lists the program's own options too (they work after any command's name),
// and a refused command line names the word it could not place, with the
// nearest option or command it may have meant.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
class FormatterBase;
}  // namespace CLI

// The help layout of every command: its own options, then the options of the
// commands above it (for a command, the program's --threads, --encoding and
// --version) under "Options of zelkor", then its subcommands.  Set it on the
// program before the commands are added; they take it over.
std::shared_ptr<CLI::FormatterBase> helpFormatter();

// The distance of two words: insertions, deletions, substitutions and
// swaps of neighbours (optimal string alignment).
int editDistance(const std::string& a, const std::string& b);

// The candidate nearest to word, when one is near enough to be a slip of
// the keyboard (at most one edit in three letters, at least one) or starts
// with a word of three or more letters; empty otherwise.  The first of
// equally near ones.
std::string nearestWord(const std::string& word, const std::vector<std::string>& candidates);

// Why the arguments (without the program name) do not parse, as far as a
// word of theirs is concerned: the first option that no command on the way
// knows ("grid run: unknown option '--replication'; did you mean
// --replications?"), the first word where a command was expected ("grid:
// unknown command 'runn'; did you mean run?"), or a command group given no
// command ("grid: a command is required: expand, run or merge").  Empty
// when every word has its place; the parser's own message then stands.
std::string misplacedWord(const CLI::App& program, const std::vector<std::string>& args);
