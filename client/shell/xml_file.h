// Saving a TinyXML document so that a failed or interrupted write never
// leaves a half-written file in place of the old one. UI thread.
#pragma once

#include <filesystem>
#include <string>

class TiXmlDocument;
class TiXmlElement;

namespace tavrin::shell {

bool save_document_replacing(TiXmlDocument& doc, const std::filesystem::path& file);

// Reads a settings or theme file (or its text) into doc, after the XML
// guard's depth and size check. A refused file is named on stderr with the
// reason, and false comes back: the caller keeps its defaults.
bool load_document_checked(TiXmlDocument& doc, const std::filesystem::path& file);
bool parse_document_checked(TiXmlDocument& doc, const std::string& text, const char* what);

// The fixed "Messages" element both files open with; never read back.
void add_fixed_messages(TiXmlElement& root);

}  // namespace tavrin::shell
