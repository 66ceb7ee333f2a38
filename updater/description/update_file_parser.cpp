#include "updater/description/update_file_parser.h"

#include "updater/description/xml_document.h"

bool ParseUpdateFile(CXmlDocument&) { return false; }
std::optional<std::string> ExpandValue(std::string_view text) { return std::string(text); }
std::optional<std::string> ExpandPathValue(std::string_view text) { return std::string(text); }
bool IsUrlValue(std::string_view) { return false; }
