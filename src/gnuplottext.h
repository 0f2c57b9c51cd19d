// Text in a gnuplot script.  Every text that comes from a file (statistic
// names, factor values, labels built from them, a path) reaches a script
// through gnuplotString or gnuplotLines, and only there: never in a comment,
// never in a double-quoted string, never bare.  A results file received from
// someone else must not be able to add a command to the script.
//
// Contract:
// - gnuplotString(text) is a gnuplot string expression on one line, made of
//   single-quoted literals, that gnuplot reads back as the shown form of
//   text; one literal unless the text starts with a quote or holds two in
//   a row.  Inside single quotes gnuplot expands nothing: no `backquoted`
//   command, no @macro, no $datablock, no backslash escape, and neither '#'
//   nor ';' ends the command there.  A quote after a character other than
//   a quote is doubled ('it''s'); any other quote (first, or after a quote)
//   closes the literal and follows as the constant "'" (''."'".'x'), since
//   gnuplot does not read those doubled ('''' is two empty strings).
//   The shown form: every control character (C0 with line feed, carriage
//   return and tab, DEL, C1) a blank, every byte that is not well-formed
//   UTF-8 U+FFFD, everything else unchanged.  So the expression holds no
//   line break, is valid UTF-8, and ends with a closing quote (never with a
//   backslash).  It may stand wherever gnuplot takes a string: titles,
//   labels, tic labels, plot titles, set output.
// - gnuplotLines(lines) is a string expression for a text of several lines
//   (a title with notes under it): each line as gnuplotString, joined by
//   ."\n". (the only double-quoted string, a constant).  One line gives the
//   literal alone; no line gives ''.
// - gnuplotShown(text) is the shown form alone, without quotes: what a
//   picture displays for text.
// - splitStrings(script) reads a script's single-quoted string expressions
//   as gnuplot does (a doubled quote is one quote only after a character
//   that is not a quote; literals joined by ."'". make one expression) and
//   gives the script with each expression replaced by '' and, in order, the
//   texts they hold.  Two scripts whose commands agree differ only in the
//   text of their strings: the check that a file's text added no command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plot {

std::string gnuplotShown(std::string_view text);

std::string gnuplotString(std::string_view text);

std::string gnuplotLines(const std::vector<std::string>& lines);

struct ScriptStrings {
    std::string commands;
    std::vector<std::string> texts;
};

ScriptStrings splitStrings(std::string_view script);

}  // namespace plot
