#include "updater/description/xml_document.h"

#include <utility>

#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/description/xml_node_scanner.h"
#include "updater/description/xml_text.h"

namespace {

// Where the attributes of a start tag stand, as far as one lookup needs.
struct AttributeLookup {
  bool found = false;
  std::size_t name_end = 0;     // after the attribute's name
  bool has_value = false;       // followed by "=" and a value
  std::size_t value_start = 0;  // the value token, quotes included
  std::size_t value_end = 0;
  std::size_t text_start = 0;  // the value itself, quotes excluded
  std::size_t text_end = 0;
  std::size_t last_token_end = 0;  // after the last name or value of the tag
};

bool EndsAttributeName(char16_t c) {
  return c == u'=' || IsXmlBlank(c) || c == u'>' || c == u'/' || c == u'?';
}

// Reads the start tag text[begin, end) token by token after its name (which
// ends at `after_name`) and stops at the first attribute named `wanted`.
AttributeLookup LookUpAttribute(std::u16string_view text, std::size_t after_name, std::size_t end,
                                std::u16string_view wanted) {
  AttributeLookup lookup;
  lookup.last_token_end = after_name;
  std::size_t i = after_name;
  while (true) {
    while (i < end && IsXmlBlank(text[i])) ++i;
    if (i >= end || text[i] == u'/' || text[i] == u'>' || text[i] == u'?') break;
    std::size_t name_start = i;
    while (i < end && !EndsAttributeName(text[i])) ++i;
    std::size_t name_end = i;
    lookup.last_token_end = name_end;
    bool matches = text.substr(name_start, name_end - name_start) == wanted;

    std::size_t j = i;
    while (j < end && IsXmlBlank(text[j])) ++j;
    bool has_value = j < end && text[j] == u'=';
    std::size_t value_start = 0, value_end = 0, text_start = 0, text_end = 0;
    if (has_value) {
      ++j;
      while (j < end && IsXmlBlank(text[j])) ++j;
      value_start = j;
      if (j < end && (text[j] == u'"' || text[j] == u'\'')) {
        char16_t quote = text[j];
        text_start = j + 1;
        std::size_t k = text_start;
        while (k < end && text[k] != quote) ++k;
        if (k < end) {
          text_end = k;
          value_end = k + 1;
        } else {
          // The quote does not close inside the tag: the value runs to its ">".
          text_end = end > text_start && text[end - 1] == u'>' ? end - 1 : end;
          value_end = text_end;
        }
      } else {
        text_start = j;
        while (j < end && !IsXmlBlank(text[j]) && text[j] != u'>') ++j;
        text_end = j;
        value_end = j;
      }
      i = value_end;
      lookup.last_token_end = value_end;
    } else if (name_end == name_start) {
      // Nothing to read here (cannot happen with the checks above); step on.
      ++i;
    }
    if (matches) {
      lookup.found = true;
      lookup.name_end = name_end;
      lookup.has_value = has_value;
      lookup.value_start = value_start;
      lookup.value_end = value_end;
      lookup.text_start = text_start;
      lookup.text_end = text_end;
      return lookup;
    }
  }
  return lookup;
}

// A tag or attribute name that reads back as written.
bool IsPlainName(std::u16string_view name, bool tag) {
  if (name.empty()) return false;
  if (tag && !IsXmlNameStart(name[0])) return false;
  for (char16_t c : name) {
    if (IsXmlNameEnd(c) || c == u'"' || c == u'\'' || c == u'&') return false;
  }
  return true;
}

std::string Number(std::size_t value) { return std::to_string(value); }

// The text inside a whole CDATA section "<![CDATA[...]]>".
std::u16string_view CDataContents(std::u16string_view section) {
  constexpr std::size_t kOpening = 9;  // "<![CDATA["
  constexpr std::size_t kClosing = 3;  // "]]>"
  if (section.size() < kOpening + kClosing) return {};
  return section.substr(kOpening, section.size() - kOpening - kClosing);
}

}  // namespace

CXmlDocument::CXmlDocument() { SetDocumentUtf16(std::u16string()); }

bool CXmlDocument::SetDocument(std::string_view utf8_text) {
  return SetDocumentUtf16(Utf8ToUtf16(utf8_text));
}

bool CXmlDocument::SetDocumentUtf16(std::u16string text) {
  result_.clear();
  if (text.size() > kMaxTextUnits) {
    text_.clear();
    Parse();
    result_ = "Document too large";
    return false;
  }
  text_ = std::move(text);
  return Parse();
}

bool CXmlDocument::LoadFromFile(const std::string& path) {
  std::optional<std::string> bytes = platform::ReadFile(path, kMaxFileBytes);
  if (!bytes) {
    SetDocumentUtf16(std::u16string());
    result_ = "Unable to read file";
    return false;
  }
  return SetDocument(DecodeTextFile(*bytes));
}

std::string CXmlDocument::GetDocument() const { return Utf16ToUtf8(text_); }

void CXmlDocument::RecordProblem(std::string message) {
  if (result_.empty()) result_ = std::move(message);
}

std::u16string_view CXmlDocument::NameOf(std::uint32_t index) const {
  if (index == 0 || index >= elements_.Size()) return {};
  const CXmlElement& element = elements_[index];
  std::size_t begin = element.start + 1;
  std::size_t limit = element.start + element.start_tag_length;
  std::size_t end = begin;
  while (end < limit && !IsXmlNameEnd(text_[end])) ++end;
  return std::u16string_view(text_).substr(begin, end - begin);
}

std::uint32_t CXmlDocument::NewChild(std::uint32_t parent) {
  std::uint32_t index = elements_.Add();
  CXmlElement& element = elements_[index];
  CXmlElement& owner = elements_[parent];
  element.parent = parent;
  element.level = static_cast<std::uint16_t>(owner.level + 1);
  if (owner.first_child == 0) {
    owner.first_child = index;
    element.prev_sibling = index;
    element.flags |= kXmlElementFirst;
  } else {
    CXmlElement& first = elements_[owner.first_child];
    std::uint32_t last = first.prev_sibling;
    elements_[last].next_sibling = index;
    element.prev_sibling = last;
    first.prev_sibling = index;
  }
  return index;
}

void CXmlDocument::LowerLevels(std::uint32_t root) {
  std::uint32_t node = root;
  while (true) {
    --elements_[node].level;
    if (elements_[node].first_child != 0) {
      node = elements_[node].first_child;
      continue;
    }
    while (node != root && elements_[node].next_sibling == 0) node = elements_[node].parent;
    if (node == root) return;
    node = elements_[node].next_sibling;
  }
}

// Closes an open element that has no end tag: its extent shrinks to its start
// tag and its children become its following siblings. It is the last child of
// its parent while it is open.
void CXmlDocument::CloseNotEnded(std::uint32_t index) {
  CXmlElement& element = elements_[index];
  element.length = element.start_tag_length;
  element.end_tag_length = 0;
  element.flags |= kXmlElementNotEnded;
  std::uint32_t first = element.first_child;
  if (first == 0) return;
  std::uint32_t parent = element.parent;
  std::uint32_t last = elements_[first].prev_sibling;
  for (std::uint32_t child = first; child != 0; child = elements_[child].next_sibling) {
    elements_[child].parent = parent;
    LowerLevels(child);
  }
  element.first_child = 0;
  element.next_sibling = first;
  elements_[first].prev_sibling = index;
  elements_[first].flags &= static_cast<std::uint16_t>(~kXmlElementFirst);
  elements_[elements_[parent].first_child].prev_sibling = last;
}

bool CXmlDocument::Parse() {
  elements_.Clear();
  elements_.Reserve(text_.size() / 64 + 8);
  elements_.Add();
  elements_[0].length = static_cast<std::uint32_t>(text_.size());
  parent_ = main_ = child_ = 0;
  node_kind_ = XmlNodeKind::kNone;

  std::u16string_view text(text_);
  std::vector<std::uint32_t> open;  // open elements, innermost last; at most kMaxDepth
  std::size_t skipped_open = 0;     // open start tags beyond the limits, not indexed
  std::size_t offset = 0;
  while (offset < text.size()) {
    CXmlNode node = ScanXmlNode(text, offset);
    if (!node.problem.empty()) RecordProblem(node.problem);
    std::u16string_view name = text.substr(node.name_start, node.name_length);
    if (node.type == XmlNodeType::kStartTag && !node.unterminated) {
      if (skipped_open > 0 || open.size() >= kMaxDepth || elements_.Size() > kMaxElements) {
        if (!result_.empty()) {
          // Only the first problem is kept; spare the message.
        } else if (skipped_open > 0 || open.size() >= kMaxDepth) {
          RecordProblem(FillPlaceholders("Element '%s' at offset %d nested too deeply",
                                         {Utf16ToUtf8(name), Number(node.start)}));
        } else {
          RecordProblem(FillPlaceholders("Too many elements at offset %d", {Number(node.start)}));
        }
        if (!node.empty_element) ++skipped_open;
      } else {
        std::uint32_t index = NewChild(open.empty() ? 0 : open.back());
        CXmlElement& element = elements_[index];
        element.start = static_cast<std::uint32_t>(node.start);
        element.start_tag_length = static_cast<std::uint32_t>(node.end - node.start);
        if (node.empty_element) {
          element.flags |= kXmlElementEmpty;
          element.length = element.start_tag_length;
        } else {
          open.push_back(index);
        }
      }
    } else if (node.type == XmlNodeType::kEndTag && !node.unterminated) {
      if (skipped_open > 0) {
        // Closes the innermost start tag that was not indexed.
        --skipped_open;
      } else {
        std::size_t match = open.size();
        while (match > 0 && NameOf(open[match - 1]) != name) --match;
        if (match == 0) {
          RecordProblem(FillPlaceholders("No start tag for end tag '%s' at offset %d",
                                         {Utf16ToUtf8(name), Number(node.start)}));
        } else {
          if (match != open.size()) {
            RecordProblem(FillPlaceholders(
                "End tag '%s' at offset %d does not match start tag '%s' at offset %d",
                {Utf16ToUtf8(name), Number(node.start + 1), Utf16ToUtf8(NameOf(open.back())),
                 Number(elements_[open.back()].start)}));
            while (open.size() > match) {
              CloseNotEnded(open.back());
              open.pop_back();
            }
          }
          CXmlElement& element = elements_[open.back()];
          element.length = static_cast<std::uint32_t>(node.end - element.start);
          element.end_tag_length = static_cast<std::uint32_t>(node.end - node.start);
          open.pop_back();
        }
      }
    }
    offset = node.end;
  }
  if (!open.empty()) {
    RecordProblem(
        FillPlaceholders("Element '%s' at offset %d not ended",
                         {Utf16ToUtf8(NameOf(open.back())), Number(elements_[open.back()].start)}));
    while (!open.empty()) {
      CloseNotEnded(open.back());
      open.pop_back();
    }
  }

  std::uint32_t root = elements_[0].first_child;
  if (text.empty()) {
    result_ = "Empty document";
  } else if (root == 0) {
    result_ = "No root element";
  } else if (elements_[root].next_sibling != 0) {
    result_ = "Root element has sibling";
  }
  return result_.empty();
}

void CXmlDocument::ResetPosition() {
  main_ = 0;
  child_ = 0;
  node_kind_ = XmlNodeKind::kNone;
}

bool CXmlDocument::FindElement(std::string_view name) {
  std::u16string wanted = Utf8ToUtf16(name);
  std::uint32_t index = main_ != 0 ? elements_[main_].next_sibling : elements_[parent_].first_child;
  for (; index != 0; index = elements_[index].next_sibling) {
    if (wanted.empty() || NameOf(index) == wanted) {
      main_ = index;
      parent_ = elements_[index].parent;
      child_ = 0;
      node_kind_ = XmlNodeKind::kElement;
      return true;
    }
  }
  return false;
}

bool CXmlDocument::EnterElement() {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return false;
  parent_ = main_;
  main_ = child_;
  child_ = 0;
  node_kind_ = main_ != 0 ? XmlNodeKind::kElement : XmlNodeKind::kNone;
  return true;
}

bool CXmlDocument::LeaveElement() {
  if (parent_ == 0) return false;
  child_ = main_;
  main_ = parent_;
  parent_ = elements_[main_].parent;
  node_kind_ = XmlNodeKind::kElement;
  return true;
}

std::string CXmlDocument::GetTagName() const {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return {};
  return GetTagName(main_);
}

std::string CXmlDocument::GetTagName(std::uint32_t index) const {
  return Utf16ToUtf8(NameOf(index));
}

std::optional<CXmlElement> CXmlDocument::GetElement(std::uint32_t index) const {
  if (index >= elements_.Size()) return std::nullopt;
  return elements_[index];
}

std::string CXmlDocument::GetAttribute(std::string_view name) const {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return {};
  const CXmlElement& element = elements_[main_];
  std::u16string wanted = Utf8ToUtf16(name);
  AttributeLookup lookup = LookUpAttribute(text_, element.start + 1 + NameOf(main_).size(),
                                           element.start + element.start_tag_length, wanted);
  if (!lookup.found || !lookup.has_value) return {};
  return Utf16ToUtf8(DecodeXmlText(
      std::u16string_view(text_).substr(lookup.text_start, lookup.text_end - lookup.text_start)));
}

std::string CXmlDocument::GetRawContent() const {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return {};
  const CXmlElement& element = elements_[main_];
  if (element.flags & (kXmlElementEmpty | kXmlElementNotEnded)) return {};
  std::size_t begin = element.start + element.start_tag_length;
  std::size_t end = element.start + element.length - element.end_tag_length;
  if (end <= begin) return {};
  return Utf16ToUtf8(std::u16string_view(text_).substr(begin, end - begin));
}

std::string CXmlDocument::GetContentText() const {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return {};
  const CXmlElement& element = elements_[main_];
  if (element.flags & (kXmlElementEmpty | kXmlElementNotEnded)) return {};
  const std::size_t begin = element.start + element.start_tag_length;
  const std::size_t end = element.start + element.length - element.end_tag_length;
  if (end <= begin) return {};
  const std::u16string_view text(text_);
  std::u16string out;
  out.reserve(end - begin);
  for (std::size_t offset = begin; offset < end;) {
    const CXmlNode node = ScanXmlNode(text, offset, end);
    const std::u16string_view written = text.substr(node.start, node.end - node.start);
    if (node.type == XmlNodeType::kText || node.type == XmlNodeType::kBlanks) {
      out += DecodeXmlText(written);
    } else if (node.type == XmlNodeType::kCData && !node.unterminated) {
      out += CDataContents(written);
    } else {
      out += written;
    }
    offset = node.end;
  }
  return Utf16ToUtf8(out);
}

std::string CXmlDocument::GetElementText() const {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return {};
  const CXmlElement& element = elements_[main_];
  if (element.first_child != 0) return {};
  if (element.flags & (kXmlElementEmpty | kXmlElementNotEnded)) return {};
  std::size_t begin = element.start + element.start_tag_length;
  std::size_t end = element.start + element.length - element.end_tag_length;
  if (end <= begin) return {};
  std::u16string_view content = std::u16string_view(text_).substr(begin, end - begin);
  if (content.find(u'<') == std::u16string_view::npos) return Utf16ToUtf8(DecodeXmlText(content));

  std::u16string out;
  std::size_t offset = begin;
  while (offset < end) {
    CXmlNode node = ScanXmlNode(text_, offset, end);
    if (node.type == XmlNodeType::kText) {
      out += DecodeXmlText(std::u16string_view(text_).substr(node.start, node.end - node.start));
    } else if (node.type == XmlNodeType::kCData && !node.unterminated) {
      out += CDataContents(std::u16string_view(text_).substr(node.start, node.end - node.start));
    }
    offset = node.end;
  }
  return Utf16ToUtf8(out);
}

// Replaces text_[offset, offset + erase) by `insert` and shifts the records
// that start at or after `offset`; `innermost` and every element enclosing it
// grow by the change (record 0 included). Records changed by the caller
// itself must start before `offset`.
bool CXmlDocument::ReplaceText(std::size_t offset, std::size_t erase, std::u16string_view insert,
                               std::uint32_t innermost) {
  if (text_.size() - erase + insert.size() > kMaxTextUnits) return false;
  text_.replace(offset, erase, insert);
  std::int64_t delta = static_cast<std::int64_t>(insert.size()) - static_cast<std::int64_t>(erase);
  auto grow = [delta](std::uint32_t& value) {
    value = static_cast<std::uint32_t>(static_cast<std::int64_t>(value) + delta);
  };
  for (std::size_t i = 1; i < elements_.Size(); ++i) {
    CXmlElement& element = elements_[static_cast<std::uint32_t>(i)];
    if (element.start >= offset) grow(element.start);
  }
  for (std::uint32_t index = innermost;; index = elements_[index].parent) {
    grow(elements_[index].length);
    if (index == 0) break;
  }
  return true;
}

bool CXmlDocument::AddElement(std::string_view name) {
  std::u16string tag = Utf8ToUtf16(name);
  if (!IsPlainName(tag, true)) return false;
  if (elements_.Size() > kMaxElements) return false;
  const std::u16string element_text = u"<" + tag + u"/>";
  const std::u16string line_end = u"\r\n";

  std::uint32_t parent = 0;
  std::size_t element_start = 0;
  bool has_main = main_ != 0 && node_kind_ == XmlNodeKind::kElement;
  if (has_main) {
    parent = elements_[main_].parent;
  } else {
    parent = parent_;
  }
  if (elements_[parent].level >= kMaxDepth) return false;
  // An element without end tag has no content: nothing can be added into it.
  if (!has_main && (elements_[parent].flags & kXmlElementNotEnded)) return false;

  if (has_main) {
    // After the main element, over the blanks that end its line.
    const CXmlElement& previous = elements_[main_];
    std::size_t point = previous.start + previous.length;
    std::size_t after_blanks = point;
    while (after_blanks < text_.size() && IsXmlBlank(text_[after_blanks])) ++after_blanks;
    if (after_blanks == text_.size() || text_[after_blanks] == u'<') point = after_blanks;
    if (!ReplaceText(point, 0, element_text + line_end, parent)) return false;
    element_start = point;
  } else if (parent != 0 && (elements_[parent].flags & kXmlElementEmpty)) {
    // "<parent/>" becomes "<parent>" CR LF "<name/>" CR LF "</parent>".
    std::u16string parent_name(NameOf(parent));
    std::u16string end_tag = u"</" + parent_name + u">";
    std::size_t slash = elements_[parent].start + elements_[parent].start_tag_length - 2;
    std::u16string insert = u">" + line_end + element_text + line_end + end_tag;
    if (!ReplaceText(slash, 2, insert, elements_[parent].parent)) return false;
    CXmlElement& owner = elements_[parent];
    owner.flags &= static_cast<std::uint16_t>(~kXmlElementEmpty);
    owner.start_tag_length -= 1;
    owner.end_tag_length = static_cast<std::uint32_t>(end_tag.size());
    owner.length = static_cast<std::uint32_t>(owner.start_tag_length + insert.size() - 1);
    element_start = slash + 1 + line_end.size();
  } else if (parent != 0 && elements_[parent].end_tag_length != 0 &&
             elements_[parent].length ==
                 elements_[parent].start_tag_length + elements_[parent].end_tag_length) {
    // "<parent></parent>": the new element goes on a line of its own.
    std::size_t point = elements_[parent].start + elements_[parent].start_tag_length;
    if (!ReplaceText(point, 0, line_end + element_text + line_end, parent)) return false;
    element_start = point + line_end.size();
  } else {
    // The last child: before the parent's end tag, or at the end of the text.
    std::size_t point = text_.size();
    if (parent != 0) {
      const CXmlElement& owner = elements_[parent];
      point = owner.start + owner.length - owner.end_tag_length;
    }
    if (!ReplaceText(point, 0, element_text + line_end, parent)) return false;
    element_start = point;
  }

  std::uint32_t index = 0;
  if (has_main) {
    index = elements_.Add();
    CXmlElement& element = elements_[index];
    CXmlElement& previous = elements_[main_];
    element.parent = parent;
    element.level = previous.level;
    element.next_sibling = previous.next_sibling;
    element.prev_sibling = main_;
    if (previous.next_sibling != 0) {
      elements_[previous.next_sibling].prev_sibling = index;
    } else {
      elements_[elements_[parent].first_child].prev_sibling = index;
    }
    previous.next_sibling = index;
  } else {
    index = NewChild(parent);
  }
  CXmlElement& element = elements_[index];
  element.start = static_cast<std::uint32_t>(element_start);
  element.length = static_cast<std::uint32_t>(element_text.size());
  element.start_tag_length = element.length;
  element.end_tag_length = 0;
  element.flags |= kXmlElementEmpty;

  main_ = index;
  parent_ = parent;
  child_ = 0;
  node_kind_ = XmlNodeKind::kElement;
  return true;
}

bool CXmlDocument::SetAttribute(std::string_view name, std::string_view value) {
  if (main_ == 0 || node_kind_ != XmlNodeKind::kElement) return false;
  std::u16string attribute = Utf8ToUtf16(name);
  if (!IsPlainName(attribute, false)) return false;
  std::u16string quoted = u"\"" + EscapeXmlText(Utf8ToUtf16(value)) + u"\"";

  const CXmlElement& element = elements_[main_];
  std::size_t tag_end = element.start + element.start_tag_length;
  AttributeLookup lookup =
      LookUpAttribute(text_, element.start + 1 + NameOf(main_).size(), tag_end, attribute);
  std::size_t point = 0;
  std::size_t erase = 0;
  std::u16string insert;
  if (lookup.found && lookup.has_value) {
    point = lookup.value_start;
    erase = lookup.value_end - lookup.value_start;
    insert = quoted;
  } else if (lookup.found) {
    point = lookup.name_end;
    insert = u"=" + quoted;
  } else {
    point = lookup.last_token_end;
    insert = u" " + attribute + u"=" + quoted;
  }
  if (!ReplaceText(point, erase, insert, main_)) return false;
  std::int64_t delta = static_cast<std::int64_t>(insert.size()) - static_cast<std::int64_t>(erase);
  CXmlElement& edited = elements_[main_];
  edited.start_tag_length =
      static_cast<std::uint32_t>(static_cast<std::int64_t>(edited.start_tag_length) + delta);
  return true;
}

bool CXmlDocument::SaveToFile(const std::string& path) {
  std::string bytes = Utf16ToUtf8(text_);
  platform::Status status = platform::WriteFileAtomic(path, bytes);
  if (!status.ok()) {
    result_ = status.message();
    return false;
  }
  result_ = FillPlaceholders("%d wide chars to %s%d bytes",
                             {Number(text_.size()), "", Number(bytes.size())});
  return true;
}
