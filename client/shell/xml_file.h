// Saving a TinyXML document so that a failed or interrupted write never
// leaves a half-written file in place of the old one. UI thread.
#pragma once

#include <filesystem>

class TiXmlDocument;
class TiXmlElement;

namespace tavrin::shell {

bool save_document_replacing(TiXmlDocument& doc, const std::filesystem::path& file);

// The fixed "Messages" element both files open with; never read back.
void add_fixed_messages(TiXmlElement& root);

}  // namespace tavrin::shell
