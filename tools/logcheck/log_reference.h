// The texts of the log as the reference lists them, and as the tests read
// them back: printed from the same table the explainer uses. Windows-free.
#pragma once

#include <string>

namespace zk::logcheck {

// The format with C's escapes for the line ends, tabs, quotes... never
// needed in the log: "\n", "\r", "\t" and "\\" for a backslash.
std::string EscapedFormat(const char* format);

// One line per text of the table: its kind, a tab and its escaped format.
std::string MessageList();

// The list of the reference's section on ERROR and WARNING texts (Markdown):
// every ERROR, WARNING and failure text with its cause and fix, in
// alphabetical order.
std::string ReferenceList();

}  // namespace zk::logcheck
