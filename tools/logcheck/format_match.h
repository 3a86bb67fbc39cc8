// Reads a line of zkcoinst.log back against the printf format that wrote it.
// Windows-free and bounded: any text gives an answer in a bounded number of
// steps.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zk::logcheck {

// Whether text, from start on, is what format prints, and where that ends.
// Literal characters must be alike; %s and %.*s take any text (the shortest
// that lets the rest match), %d, %u and %x/%X (with flags and a width) a
// number as printf writes it, %% a "%". The line ends at the format's closing
// "\n" or "\r\n": a format with one must match the whole of text; one without
// matches a beginning of it (the next message, or the system's text in a last
// %s, closes the line). *values gets the text of each conversion. False when
// text does not read as format, or when telling would take more steps than
// any log line needs.
bool MatchFormat(const char* format, const std::string& text, size_t start, size_t* end,
                 std::vector<std::string>* values);

// Whether the format ends its line itself ("\n" or "\r\n" last).
bool EndsLine(const char* format);

}  // namespace zk::logcheck
