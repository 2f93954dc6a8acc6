// A PNG that shows lines of text as the client's bitmap-text drawing lays
// them out (nudges, advances, wrapping), enlarged, for judging the font by eye.
#pragma once

#include <string>
#include <vector>

namespace tavrin::tools {

// `font` is the whole font file; `lines` are UTF-8. Returns false when the
// PNG cannot be written.
bool write_sample_sheet(const std::vector<unsigned char>& font,
                        const std::vector<std::string>& lines, const std::string& png_path);

}  // namespace tavrin::tools
