#include "tools/release/update_file_writer.h"

#include "tools/release/release_text.h"
#include "updater/description/xml_text.h"

namespace {

// Writes the body of the update file and remembers whether element text used
// one of the constants.
class UpdateFileText {
 public:
  // An element on one line whose text is exactly the value: the reader keeps
  // blanks and line breaks between the tags as part of the value.
  void Element(std::string_view indent, std::string_view name, std::string_view value) {
    text_ += std::string(indent) + "<" + std::string(name) + ">" +
             ElementText(value, &uses_constants_) + "</" + std::string(name) + ">\n";
  }
  void Line(std::string_view line) {
    text_ += line;
    text_ += '\n';
  }
  static std::string Attribute(std::string_view name, std::string_view value) {
    return " " + std::string(name) + "=\"" + EscapeXmlText(value) + "\"";
  }

  const std::string& text() const { return text_; }
  bool uses_constants() const { return uses_constants_; }

 private:
  std::string text_;
  bool uses_constants_ = false;
};

void WriteEntry(UpdateFileText& out, const UpdateFileEntry& entry) {
  const std::string installed = "%app%" + entry.relative;
  out.Line(
      "    <FILE" + UpdateFileText::Attribute("name", entry.relative) +
      UpdateFileText::Attribute("location", installed) +
      UpdateFileText::Attribute("version", entry.version) +
      UpdateFileText::Attribute("date", entry.date) +
      UpdateFileText::Attribute("hash", entry.hash) +
      (entry.sha256.empty() ? std::string() : UpdateFileText::Attribute("sha256", entry.sha256)) +
      UpdateFileText::Attribute("check", entry.check) +
      UpdateFileText::Attribute("section", entry.section) + ">");
  if (entry.remove) {
    out.Line("      <ACTION type=\"delete\">");
    out.Element("        ", "LOCATION", installed);
    out.Element("        ", "ASKUSER", "false");
    out.Line("      </ACTION>");
  } else {
    const std::string downloaded = "%updatertemp%" + entry.download_name;
    out.Line(
        "      <ACTION type=\"download\"" +
        (entry.sha256.empty() ? std::string() : UpdateFileText::Attribute("sha256", entry.sha256)) +
        ">");
    out.Element("        ", "LOCATION", entry.url);
    out.Element("        ", "DESTINATION", downloaded);
    out.Line("      </ACTION>");
    out.Line("      <ACTION type=\"copy\">");
    out.Element("        ", "OLDLOCATION", downloaded);
    out.Element("        ", "NEWLOCATION", installed);
    out.Element("        ", "OVERWRITE", "true");
    out.Line("      </ACTION>");
  }
  out.Line("    </FILE>");
}

}  // namespace

std::string RenderUpdateFile(const UpdateFilePlan& plan) {
  UpdateFileText body;
  body.Line("  <GENERAL>");
  body.Element("    ", "VERSION", plan.version);
  body.Element("    ", "CLOSEAPPLICATION", plan.close_application);
  body.Element("    ", "ENABLEROLLBACK", plan.enable_rollback ? "true" : "false");
  body.Element("    ", "SELFUPDATE", "false");
  body.Line("  </GENERAL>");
  body.Line("  <SECTIONS>");
  for (const std::string& section : plan.sections) {
    body.Line("    <SECTION" + UpdateFileText::Attribute("name", section) +
              UpdateFileText::Attribute("title", section) +
              UpdateFileText::Attribute("version", plan.version) + "/>");
  }
  body.Line("  </SECTIONS>");
  body.Line("  <FILES>");
  for (const UpdateFileEntry& entry : plan.entries) WriteEntry(body, entry);
  body.Line("  </FILES>");

  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UPDATEINFO>\n";
  if (body.uses_constants()) {
    // Element text is read as written, so these characters travel as constants.
    text += "  <CONSTANTS>\n";
    for (const TextConstant& constant : kTextConstants) {
      text += "    <CONSTANT" + UpdateFileText::Attribute("name", constant.name) +
              UpdateFileText::Attribute("value", std::string_view(&constant.character, 1)) + "/>\n";
    }
    text += "  </CONSTANTS>\n";
  }
  text += body.text();
  text += "</UPDATEINFO>\n";
  return text;
}
