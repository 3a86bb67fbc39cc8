// Long texts of the explainer's report and of the reference, wrapped at
// blanks. Windows-free.
#pragma once

#include <cstddef>
#include <string>

namespace zk::logcheck {

// lead and text on lines of at most width characters where the words allow,
// broken at blanks; lines after the first start with hanging blanks. Every
// line ends in "\n". A word longer than a line stays whole.
std::string WrapText(const std::string& lead, const std::string& text, size_t hanging,
                     size_t width);

}  // namespace zk::logcheck
