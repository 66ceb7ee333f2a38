#pragma once
// CXmlDocument: a lenient XML reader and writer over one UTF-16 text.
//
// The whole document is kept as one text; its elements are indexed when the
// text is set. The caller walks the elements with a position (parent, main and
// child element), reads attribute values and contents, adds elements and
// attributes in place and saves the text as UTF-8. A text that is not
// well-formed still yields every element that can be recognised; the first
// problem is kept in the result text. Offsets count UTF-16 units. The
// interface speaks UTF-8.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/description/xml_element.h"

enum class XmlNodeKind { kNone, kElement };

class CXmlDocument {
 public:
  // Largest file LoadFromFile reads.
  static constexpr std::uint64_t kMaxFileBytes = 64ull << 20;
  // Largest text (in UTF-16 units) a document holds; a longer text is refused.
  static constexpr std::size_t kMaxTextUnits = 64ull << 20;
  // Deepest element nesting that is indexed; deeper start tags are skipped.
  static constexpr std::uint16_t kMaxDepth = 256;
  // Most elements that are indexed; further start tags are skipped.
  static constexpr std::size_t kMaxElements = 4u << 20;

  // An empty document: the result text reads "Empty document".
  CXmlDocument();

  // Replaces the text (UTF-8) and parses it; all positions 0 afterwards.
  // True when the text has a root element and the scan met no problem.
  bool SetDocument(std::string_view utf8_text);
  // The same for a text that is UTF-16 already.
  bool SetDocumentUtf16(std::u16string text);
  // Reads a file of at most kMaxFileBytes (UTF-16LE with byte-order mark,
  // UTF-8, or else Windows-1252) and sets it as the document. An unreadable
  // file gives an empty document, the result text "Unable to read file" and false.
  bool LoadFromFile(const std::string& path);

  // The document text.
  std::string GetDocument() const;
  const std::u16string& GetDocumentUtf16() const { return text_; }
  // The first problem of the last parse, or the outcome of the last SaveToFile.
  const std::string& GetResultText() const { return result_; }

  // Navigation ----------------------------------------------------------------
  // Main and child position 0; the parent position stays.
  void ResetPosition();
  // Finds the next element named `name` (exact, case-sensitive; "" matches any)
  // after the main position among its siblings, or from the first child of the
  // parent position when the main position is 0. It becomes the main position.
  bool FindElement(std::string_view name);
  // Makes the main element the parent position; the next FindElement searches
  // its children. False when there is no main element.
  bool EnterElement();
  // Goes back to the parent; the next FindElement continues after the element
  // just left. False at the top level.
  bool LeaveElement();

  // Reading the main element ---------------------------------------------------
  // Tag name; "" when no element is current.
  std::string GetTagName() const;
  // Attribute value with references decoded; "" when missing, without value,
  // or when no element is current.
  std::string GetAttribute(std::string_view name) const;
  // The text between start tag and end tag, unchanged. "" for an empty
  // element, one that was not ended, or when no element is current.
  std::string GetRawContent() const;
  // The content as a value: character and entity references in text runs
  // decoded, CDATA sections replaced by their contents, any other markup
  // (child elements, comments) kept as written. "" for an empty element, one
  // that was not ended, or when no element is current.
  std::string GetContentText() const;
  // The decoded character data: text runs and CDATA contents; comments,
  // processing instructions and blank runs between markup are left out.
  // "" when the element has child elements.
  std::string GetElementText() const;

  // Editing --------------------------------------------------------------------
  // Inserts "<name/>" after the main element, or as the last child of the
  // parent position when there is none; it becomes the main position. False
  // for a name that is not a plain tag name or an element that would nest too deep.
  bool AddElement(std::string_view name);
  // Sets an attribute of the main element; the value is escaped and double
  // quoted. False when no element is current or the name is not a plain name.
  bool SetAttribute(std::string_view name, std::string_view value);
  // Writes the text as UTF-8 without byte-order mark, atomically (temporary
  // file renamed into place). Sets the result text; false when the file could
  // not be written completely.
  bool SaveToFile(const std::string& path);

  // Positions and records (for tools and tests) ---------------------------------
  std::uint32_t GetParentPosition() const { return parent_; }
  std::uint32_t GetMainPosition() const { return main_; }
  std::uint32_t GetChildPosition() const { return child_; }
  XmlNodeKind GetNodeKind() const { return node_kind_; }
  // Number of records, record 0 (the document) included.
  std::size_t GetElementCount() const { return elements_.Size(); }
  // A copy of a record; nullopt for an index beyond the table.
  std::optional<CXmlElement> GetElement(std::uint32_t index) const;
  // Tag name of a record; "" for record 0 or an index beyond the table.
  std::string GetTagName(std::uint32_t index) const;

 private:
  bool Parse();
  void RecordProblem(std::string message);
  std::u16string_view NameOf(std::uint32_t index) const;
  std::uint32_t NewChild(std::uint32_t parent);
  void CloseNotEnded(std::uint32_t index);
  void LowerLevels(std::uint32_t first);
  bool ReplaceText(std::size_t offset, std::size_t erase, std::u16string_view insert,
                   std::uint32_t innermost);

  std::u16string text_;
  std::string result_;
  CXmlElementTable elements_;
  std::uint32_t parent_ = 0;
  std::uint32_t main_ = 0;
  std::uint32_t child_ = 0;
  XmlNodeKind node_kind_ = XmlNodeKind::kNone;
};
