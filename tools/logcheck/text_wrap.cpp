#include "text_wrap.h"

namespace zk::logcheck {

std::string WrapText(const std::string& lead, const std::string& text, size_t hanging,
                     size_t width) {
    std::string out;
    std::string line = lead;
    bool fresh = true;  // no word on the line yet
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string word = text.substr(start, end - start);
        if (!fresh && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line = std::string(hanging, ' ') + word;
        } else {
            line += (fresh ? "" : " ") + word;
        }
        fresh = false;
        start = end + 1;
    }
    return out + line + "\n";
}

}  // namespace zk::logcheck
