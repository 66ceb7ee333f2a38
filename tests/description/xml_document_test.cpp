#include "updater/description/xml_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/description/xml_node_scanner.h"
#include "updater/description/xml_text.h"

namespace {

// The element tree as text: names in document order, "/" for an empty element,
// "!" for one without end tag, children in parentheses, siblings separated by blanks.
std::string DumpTree(const CXmlDocument& document) {
  std::string out;
  std::uint32_t node = document.GetElement(0)->first_child;
  if (node == 0) return out;
  while (true) {
    CXmlElement element = *document.GetElement(node);
    out += document.GetTagName(node);
    if (element.flags & kXmlElementEmpty) out += "/";
    if (element.flags & kXmlElementNotEnded) out += "!";
    if (element.first_child != 0) {
      out += "(";
      node = element.first_child;
      continue;
    }
    while (node != 0 && document.GetElement(node)->next_sibling == 0) {
      node = document.GetElement(node)->parent;
      if (node != 0) out += ")";
    }
    if (node == 0) return out;
    out += " ";
    node = document.GetElement(node)->next_sibling;
  }
}

// Checks what every element table must satisfy: extents inside the text,
// consistent links, levels one below the parent's, ">" ending every extent.
void ExpectSoundTable(const CXmlDocument& document) {
  const std::u16string& text = document.GetDocumentUtf16();
  ASSERT_EQ(document.GetElement(0)->length, text.size());
  for (std::uint32_t i = 1; i < document.GetElementCount(); ++i) {
    CXmlElement element = *document.GetElement(i);
    SCOPED_TRACE("record " + std::to_string(i));
    ASSERT_LE(std::size_t{element.start} + element.length, text.size());
    EXPECT_EQ(text[element.start], u'<');
    EXPECT_EQ(text[element.start + element.length - 1], u'>');
    EXPECT_EQ(text[element.start + element.start_tag_length - 1], u'>');
    EXPECT_LE(element.start_tag_length + element.end_tag_length, element.length);
    CXmlElement parent = *document.GetElement(element.parent);
    EXPECT_EQ(element.level, parent.level + 1);
    if (element.parent != 0) {
      EXPECT_GE(element.start, parent.start + parent.start_tag_length);
      EXPECT_LE(element.start + element.length,
                parent.start + parent.length - parent.end_tag_length);
    }
    bool first = parent.first_child == i;
    EXPECT_EQ(first, (element.flags & kXmlElementFirst) != 0);
    if (element.next_sibling != 0) {
      EXPECT_EQ(document.GetElement(element.next_sibling)->prev_sibling, i);
      EXPECT_LE(element.start + element.length, document.GetElement(element.next_sibling)->start);
    } else {
      EXPECT_EQ(document.GetElement(parent.first_child)->prev_sibling, i);
    }
  }
}

// The records of a document in document order (walked through the links),
// one line each: start, length, start tag, end tag, flags, level, children.
std::vector<std::string> WalkRecords(const CXmlDocument& document) {
  std::vector<std::string> lines;
  std::uint32_t node = document.GetElement(0)->first_child;
  while (node != 0) {
    CXmlElement e = *document.GetElement(node);
    int children = 0;
    for (std::uint32_t c = e.first_child; c != 0; c = document.GetElement(c)->next_sibling) {
      ++children;
    }
    lines.push_back(document.GetTagName(node) + " " + std::to_string(e.start) + " " +
                    std::to_string(e.length) + " " + std::to_string(e.start_tag_length) + " " +
                    std::to_string(e.end_tag_length) + " " + std::to_string(e.flags) + " " +
                    std::to_string(e.level) + " " + std::to_string(children));
    if (e.first_child != 0) {
      node = e.first_child;
      continue;
    }
    while (node != 0 && document.GetElement(node)->next_sibling == 0) {
      node = document.GetElement(node)->parent;
    }
    if (node != 0) node = document.GetElement(node)->next_sibling;
  }
  return lines;
}

// The records of an edited document equal those of a fresh parse of its text.
void ExpectSameAsReparsed(const CXmlDocument& edited) {
  CXmlDocument fresh;
  fresh.SetDocumentUtf16(edited.GetDocumentUtf16());
  EXPECT_EQ(fresh.GetElementCount(), edited.GetElementCount());
  EXPECT_EQ(WalkRecords(fresh), WalkRecords(edited));
  ExpectSoundTable(edited);
}

std::string Repeat(std::string_view piece, int count) {
  std::string out;
  out.reserve(piece.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

// ---------------------------------------------------------------------------
// Node scan

struct ScanCase {
  std::string text;
  XmlNodeType type;
  std::size_t end;
  std::string name;
  bool empty_element;
  std::string problem;
};

TEST(XmlNodeScanTest, ReadsEachKindOfNode) {
  const std::vector<ScanCase> cases = {
      {"<?xml version=\"1.0\"?><A/>", XmlNodeType::kProcessingInstruction, 21, "", false, ""},
      {"<!-- a > b --><A/>", XmlNodeType::kComment, 14, "", false, ""},
      {"<!-->-->", XmlNodeType::kComment, 8, "", false, ""},
      {"<![CDATA[<B>]]>x", XmlNodeType::kCData, 15, "", false, ""},
      {"<!DOCTYPE A [<!ELEMENT A ANY>]>x", XmlNodeType::kDocType, 31, "", false, ""},
      {"<!ELEMENT A ANY>x", XmlNodeType::kDeclaration, 16, "", false, ""},
      {"<!ATTLIST A b CDATA #IMPLIED>", XmlNodeType::kDeclaration, 29, "", false, ""},
      {"</AB >x", XmlNodeType::kEndTag, 6, "AB", false, ""},
      {"<AB c='>' d=\">\">x", XmlNodeType::kStartTag, 16, "AB", false, ""},
      {"<A/>", XmlNodeType::kStartTag, 4, "A", true, ""},
      {"<A />", XmlNodeType::kStartTag, 5, "A", true, ""},
      {"<A b='c'/>", XmlNodeType::kStartTag, 10, "A", true, ""},
      {"<A b=c/>", XmlNodeType::kStartTag, 8, "A", false, ""},
      {"<a>", XmlNodeType::kStartTag, 3, "a", false, ""},
      {"<_x:y>", XmlNodeType::kStartTag, 6, "_x:y", false, ""},
      {"<Ärger>", XmlNodeType::kStartTag, 7, "Ärger", false, ""},
      {"<名前/>", XmlNodeType::kStartTag, 5, "名前", true, ""},
      {"<A\\B>", XmlNodeType::kStartTag, 5, "A", false, ""},
      {"text<A/>", XmlNodeType::kText, 4, "", false, ""},
      {" \t\r\n<A/>", XmlNodeType::kBlanks, 4, "", false, ""},
      {"  ", XmlNodeType::kBlanks, 2, "", false, ""},
      {"<1>x", XmlNodeType::kIncorrect, 3, "", false, "Incorrect tag name character at offset 0"},
      {"< A<B/>", XmlNodeType::kIncorrect, 3, "", false,
       "Incorrect tag name character at offset 0"},
      {"<", XmlNodeType::kIncorrect, 1, "", false, "Incorrect tag name character at offset 0"},
      {"<!x>", XmlNodeType::kIncorrect, 4, "", false, "Incorrect ! tag at offset 0"},
      {"<!", XmlNodeType::kIncorrect, 2, "", false, "Incorrect ! tag at offset 0"},
      {"<!-x>", XmlNodeType::kIncorrect, 5, "", false, "Incorrect comment tag at offset 0"},
      {"<![x>", XmlNodeType::kIncorrect, 5, "", false, "Incorrect tag at offset 0"},
      {"<!-- x", XmlNodeType::kComment, 6, "", false, "Comment at offset 0 unterminated"},
      {"<!-- x <A/>", XmlNodeType::kComment, 7, "", false, "Comment at offset 0 unterminated"},
      {"<![CDATA[x", XmlNodeType::kCData, 10, "", false, "CDATA Section at offset 0 unterminated"},
      {"<?pi", XmlNodeType::kProcessingInstruction, 4, "", false,
       "Processing instruction at offset 0 unterminated"},
      {"</A", XmlNodeType::kEndTag, 3, "A", false, "Element end tag at offset 0 unterminated"},
      {"<A b='x", XmlNodeType::kStartTag, 7, "A", false, "Element tag at offset 0 unterminated"},
      {"<A b='x> <B/>", XmlNodeType::kStartTag, 8, "A", false,
       "Element tag at offset 0 unterminated"},
      {"<!DOCTYPE A [<!ENTITY x", XmlNodeType::kDocType, 13, "", false,
       "Doctype at offset 0 unterminated"},
      {"<!ENTITY x", XmlNodeType::kDeclaration, 10, "", false, "Doctype at offset 0 unterminated"},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::u16string text = Utf8ToUtf16(c.text);
    CXmlNode node = ScanXmlNode(text, 0);
    EXPECT_EQ(node.type, c.type);
    EXPECT_EQ(node.start, 0u);
    EXPECT_EQ(node.end, c.end);
    EXPECT_EQ(Utf16ToUtf8(std::u16string_view(text).substr(node.name_start, node.name_length)),
              c.name);
    EXPECT_EQ(node.empty_element, c.empty_element);
    EXPECT_EQ(node.problem, c.problem);
  }
}

TEST(XmlNodeScanTest, ReportsOffsetsAndStopsAtTheLimit) {
  std::u16string text = u"ab<1>";
  CXmlNode node = ScanXmlNode(text, 2);
  EXPECT_EQ(node.problem, "Incorrect tag name character at offset 2");
  // A limit inside a comment makes it unterminated, whatever follows.
  node = ScanXmlNode(u"<!-- x -->", 0, 6);
  EXPECT_TRUE(node.unterminated);
  EXPECT_EQ(node.end, 6u);
}

// ---------------------------------------------------------------------------
// Parse: element tree and result text

struct ParseCase {
  std::string text;
  std::string tree;
  std::string result;
};

TEST(XmlDocumentParseTest, BuildsTreeAndRecordsFirstProblem) {
  const std::vector<ParseCase> cases = {
      {"", "", "Empty document"},
      {"<?xml version=\"1.0\" ?>", "", "No root element"},
      {"   ", "", "No root element"},
      {"<A/><B/>", "A/ B/", "Root element has sibling"},
      {"<A><B></A>", "A(B!)", "End tag 'A' at offset 7 does not match start tag 'B' at offset 3"},
      {"<A>", "A!", "Element 'A' at offset 0 not ended"},
      {"<A><B/>", "A! B/", "Root element has sibling"},
      {"<A><B>", "A! B!", "Root element has sibling"},
      {"</A>", "", "No root element"},
      {"<A></B></A>", "A", "No start tag for end tag 'B' at offset 3"},
      {"<A><B><C/></A>", "A(B! C/)",
       "End tag 'A' at offset 11 does not match start tag 'B' at offset 3"},
      {"<A><B><C><D/></A>", "A(B! C! D/)",
       "End tag 'A' at offset 14 does not match start tag 'C' at offset 6"},
      {"<A><B><C></C></A>", "A(B! C)",
       "End tag 'A' at offset 14 does not match start tag 'B' at offset 3"},
      {"<A><B><C></C></A><E/>", "A(B! C) E/", "Root element has sibling"},
      {"<A>text</A>", "A", ""},
      {"<a><b/><c></c></a>", "a(b/ c)", ""},
      {"<?xml version=\"1.0\"?>\r\n<!-- c --><!DOCTYPE A [<!ELEMENT A ANY>]>\r\n"
       "<A x='1'><![CDATA[<B>]]><?pi?>\r\n</A>\r\n",
       "A", ""},
      {"<A><1></A>", "A", "Incorrect tag name character at offset 3"},
      {"<A><!-- x </A>", "A", "Comment at offset 3 unterminated"},
      {"<R><A b='x></A></R>", "R", "Element tag at offset 3 unterminated"},
      {"<A b='x></A>", "", "No root element"},
      {"<UPDATEINFO><GENERAL><VERSION>1.0</VERSION></GENERAL></UPDATEINFO>",
       "UPDATEINFO(GENERAL(VERSION))", ""},
      {"<Ä><名前 wert='ü'/></Ä>", "Ä(名前/)", ""},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    CXmlDocument document;
    EXPECT_EQ(document.SetDocument(c.text), c.result.empty());
    EXPECT_EQ(DumpTree(document), c.tree);
    EXPECT_EQ(document.GetResultText(), c.result);
    EXPECT_EQ(document.GetParentPosition(), 0u);
    EXPECT_EQ(document.GetMainPosition(), 0u);
    EXPECT_EQ(document.GetChildPosition(), 0u);
    ExpectSoundTable(document);
  }
}

TEST(XmlDocumentParseTest, NewDocumentIsEmpty) {
  CXmlDocument document;
  EXPECT_EQ(document.GetResultText(), "Empty document");
  EXPECT_FALSE(document.FindElement(""));
  EXPECT_EQ(document.GetElementCount(), 1u);
  EXPECT_EQ(document.GetNodeKind(), XmlNodeKind::kNone);
}

TEST(XmlDocumentParseTest, RecordsOffsetsAndLengths) {
  CXmlDocument document;
  document.SetDocument("<A><B></A>");
  ASSERT_EQ(document.GetElementCount(), 3u);
  CXmlElement a = *document.GetElement(1);
  EXPECT_EQ(a.start, 0u);
  EXPECT_EQ(a.length, 10u);
  EXPECT_EQ(a.start_tag_length, 3u);
  EXPECT_EQ(a.end_tag_length, 4u);
  EXPECT_EQ(a.level, 1u);
  EXPECT_EQ(a.flags, kXmlElementFirst);
  CXmlElement b = *document.GetElement(2);
  EXPECT_EQ(b.start, 3u);
  EXPECT_EQ(b.length, 3u);
  EXPECT_EQ(b.end_tag_length, 0u);
  EXPECT_EQ(b.flags, kXmlElementFirst | kXmlElementNotEnded);
  EXPECT_EQ(b.parent, 1u);
  EXPECT_EQ(b.level, 2u);
  EXPECT_FALSE(document.GetElement(3).has_value());

  // Offsets count UTF-16 units: a character beyond the basic plane takes two.
  document.SetDocument("<A>\xF0\x9F\x98\x80<B/></A>");
  EXPECT_EQ(document.GetElement(2)->start, 5u);
  EXPECT_EQ(document.GetElement(1)->length, 13u);
  document.SetDocument("<A>\xF0\x9F\x98\x80</B></A>");
  EXPECT_EQ(document.GetResultText(), "No start tag for end tag 'B' at offset 5");
}

TEST(XmlDocumentParseTest, NotEndedElementsLowerTheLevelsOfMovedChildren) {
  CXmlDocument document;
  document.SetDocument("<R><A><B><C><D/></C></R>");
  EXPECT_EQ(DumpTree(document), "R(A! B! C(D/))");
  ExpectSoundTable(document);
  ASSERT_TRUE(document.FindElement("R"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("C"));
  EXPECT_EQ(document.GetElement(document.GetMainPosition())->level, 2u);
}

TEST(XmlDocumentParseTest, GrowsTheTableBeyondOneSegment) {
  std::string text = "<R>" + Repeat("<E/>", 70000) + "</R>";
  CXmlDocument document;
  EXPECT_TRUE(document.SetDocument(text));
  EXPECT_EQ(document.GetElementCount(), 70002u);
  CXmlElement last = *document.GetElement(70001);
  EXPECT_EQ(last.start, 3u + 69999u * 4u);
  EXPECT_EQ(document.GetElement(document.GetElement(1)->first_child)->prev_sibling, 70001u);
}

// ---------------------------------------------------------------------------
// Hostile inputs

TEST(XmlDocumentHostileTest, DeepNestingIsBounded) {
  const int depth = 100000;
  CXmlDocument document;
  document.SetDocument(Repeat("<A>", depth) + Repeat("</A>", depth));
  EXPECT_EQ(document.GetResultText(), "Element 'A' at offset 768 nested too deeply");
  EXPECT_EQ(document.GetElementCount(), CXmlDocument::kMaxDepth + 1u);
  ExpectSoundTable(document);
  // Every indexed element found its end tag.
  for (std::uint32_t i = 1; i < document.GetElementCount(); ++i) {
    EXPECT_EQ(document.GetElement(i)->flags & kXmlElementNotEnded, 0);
  }

  // Unclosed, and with end tags that match nothing.
  document.SetDocument(Repeat("<A>", depth));
  EXPECT_EQ(document.GetElementCount(), CXmlDocument::kMaxDepth + 1u);
  document.SetDocument(Repeat("<A>", 300) + Repeat("</B>", depth));
  EXPECT_EQ(document.GetElementCount(), CXmlDocument::kMaxDepth + 1u);
  ExpectSoundTable(document);

  // Adding below the deepest level is refused.
  document.SetDocument(Repeat("<A>", 256) + Repeat("</A>", 256));
  for (int i = 0; i < 256; ++i) {
    ASSERT_TRUE(document.FindElement("A"));
    ASSERT_TRUE(document.EnterElement());
  }
  EXPECT_FALSE(document.AddElement("B"));
}

TEST(XmlDocumentHostileTest, BrokenInputsEndWithoutCrash) {
  const std::vector<std::string> inputs = {
      "",       "<",         "<!",           "<!-",          "<![",         "</",
      "<?",     "<A",        "<A b='",       "<A b=\"x",     "<!--",        "<![CDATA[",
      "<!D",    "<!DOCTYPE", "<A>&",         "<A>&#",        "<A>&#x",      "<A x='&#1'/>",
      ">",      "]]>",       "<A/><",        "<A><![CDATA[", "<A><!-- -->", "\0<A/>\0",
      "<A b=>", "<A =c/>",   "<A b c d=e/>", "<<<<>>>>",     "</></></>",   "<A></A></A></A>",
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    CXmlDocument document;
    document.SetDocument(input);
    ExpectSoundTable(document);
    while (document.FindElement("")) {
      document.GetAttribute("b");
      document.GetRawContent();
      document.GetElementText();
    }
  }
}

TEST(XmlDocumentHostileTest, EveryTruncationOfADocumentParsesSoundly) {
  const std::string full =
      "<?xml version=\"1.0\"?><!DOCTYPE R [<!ELEMENT R ANY>]><!-- c -->"
      "<R a='1' b=\"&amp;&#65;\"><S x=y/><T>t&lt;<![CDATA[<c>]]><?p?></T><U></U></R>";
  for (std::size_t n = 0; n <= full.size(); ++n) {
    SCOPED_TRACE(n);
    CXmlDocument document;
    document.SetDocument(full.substr(0, n));
    ExpectSoundTable(document);
    while (document.FindElement("")) {
      document.GetAttribute("b");
      document.GetElementText();
      if (document.EnterElement()) {
        while (document.FindElement("")) document.GetElementText();
        document.LeaveElement();
      }
    }
  }
}

TEST(XmlDocumentHostileTest, TooLargeTextIsRefused) {
  CXmlDocument document;
  std::u16string text(CXmlDocument::kMaxTextUnits + 1, u' ');
  text[0] = u'<';
  text[1] = u'A';
  text[2] = u'>';
  EXPECT_FALSE(document.SetDocumentUtf16(std::move(text)));
  EXPECT_EQ(document.GetResultText(), "Document too large");
  EXPECT_EQ(document.GetDocumentUtf16().size(), 0u);

  TempFolder folder;
  std::string path = folder.Write("large.xml", "<A/>");
  std::filesystem::resize_file(path, CXmlDocument::kMaxFileBytes + 1);
  EXPECT_FALSE(document.LoadFromFile(path));
  EXPECT_EQ(document.GetResultText(), "Unable to read file");
}

// ---------------------------------------------------------------------------
// Navigation

TEST(XmlDocumentNavigationTest, WalksWithParentMainAndChildPosition) {
  CXmlDocument document;
  document.SetDocument(
      "<UPDATEINFO><SECTIONS><SECTION name='a'/></SECTIONS><Section/><SECTION name='b'>"
      "<SECTION name='c'/></SECTION><SECTION name='d'/></UPDATEINFO>");
  EXPECT_FALSE(document.EnterElement());
  EXPECT_FALSE(document.LeaveElement());
  ASSERT_TRUE(document.FindElement("UPDATEINFO"));
  EXPECT_EQ(document.GetNodeKind(), XmlNodeKind::kElement);
  ASSERT_TRUE(document.EnterElement());
  EXPECT_EQ(document.GetMainPosition(), 0u);

  // Exact names: SECTION does not find SECTIONS, nor Section.
  ASSERT_TRUE(document.FindElement("SECTION"));
  EXPECT_EQ(document.GetAttribute("name"), "b");
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("SECTION"));
  EXPECT_EQ(document.GetAttribute("name"), "c");
  EXPECT_FALSE(document.FindElement("SECTION"));
  EXPECT_EQ(document.GetAttribute("name"), "c");  // unchanged when nothing matches
  ASSERT_TRUE(document.LeaveElement());
  EXPECT_EQ(document.GetAttribute("name"), "b");
  // After leaving, the search continues after the element just left.
  ASSERT_TRUE(document.FindElement("SECTION"));
  EXPECT_EQ(document.GetAttribute("name"), "d");
  EXPECT_FALSE(document.FindElement("SECTION"));

  // From the start again.
  document.ResetPosition();
  EXPECT_EQ(document.GetNodeKind(), XmlNodeKind::kNone);
  EXPECT_EQ(document.GetAttribute("name"), "");
  ASSERT_TRUE(document.FindElement("Section"));
  EXPECT_EQ(document.GetTagName(), "Section");
  document.ResetPosition();
  ASSERT_TRUE(document.FindElement(""));
  EXPECT_EQ(document.GetTagName(), "SECTIONS");

  ASSERT_TRUE(document.LeaveElement());
  EXPECT_EQ(document.GetTagName(), "UPDATEINFO");
  EXPECT_FALSE(document.LeaveElement());
}

TEST(XmlDocumentNavigationTest, FindsEveryTopLevelElement) {
  CXmlDocument document;
  document.SetDocument("<A/><B/>");
  EXPECT_EQ(document.GetResultText(), "Root element has sibling");
  ASSERT_TRUE(document.FindElement(""));
  EXPECT_EQ(document.GetTagName(), "A");
  ASSERT_TRUE(document.FindElement(""));
  EXPECT_EQ(document.GetTagName(), "B");
  EXPECT_FALSE(document.FindElement(""));
}

TEST(XmlDocumentNavigationTest, EnterAfterLeaveReturnsToTheChild) {
  CXmlDocument document;
  document.SetDocument("<R><A><X/></A><B/></R>");
  ASSERT_TRUE(document.FindElement("R"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("A"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("X"));
  ASSERT_TRUE(document.LeaveElement());  // main A, child X
  ASSERT_TRUE(document.EnterElement());  // main X again
  EXPECT_EQ(document.GetTagName(), "X");
}

// ---------------------------------------------------------------------------
// Reading contents and attributes

TEST(XmlDocumentReadTest, RawContentIsUnchanged) {
  CXmlDocument document;
  document.SetDocument("<R><V> 1.0 </V><W>a &amp; <b/>\r\n</W><E/><F></F><N></R>");
  ASSERT_TRUE(document.FindElement("R"));
  EXPECT_EQ(document.GetRawContent(), "<V> 1.0 </V><W>a &amp; <b/>\r\n</W><E/><F></F><N>");
  document.EnterElement();
  ASSERT_TRUE(document.FindElement("V"));
  EXPECT_EQ(document.GetRawContent(), " 1.0 ");
  ASSERT_TRUE(document.FindElement("W"));
  EXPECT_EQ(document.GetRawContent(), "a &amp; <b/>\r\n");
  EXPECT_EQ(document.GetElementText(), "");  // holds a child element
  ASSERT_TRUE(document.FindElement("E"));
  EXPECT_EQ(document.GetRawContent(), "");
  ASSERT_TRUE(document.FindElement("F"));
  EXPECT_EQ(document.GetRawContent(), "");
  ASSERT_TRUE(document.FindElement("N"));
  EXPECT_EQ(document.GetRawContent(), "");  // not ended
  document.ResetPosition();
  EXPECT_EQ(document.GetRawContent(), "");
  EXPECT_EQ(document.GetElementText(), "");
}

// The text of the element "T" of the document, read with the accessor;
// reading leaves the text and the element's record unchanged.
std::string ReadElementT(const std::string& xml, std::string (CXmlDocument::*read)() const) {
  CXmlDocument document;
  document.SetDocument(xml);
  if (!document.FindElement("T")) {
    ADD_FAILURE() << "no element T in " << xml;
    return {};
  }
  const CXmlElement before = *document.GetElement(document.GetMainPosition());
  std::string text = (document.*read)();
  EXPECT_EQ(document.GetDocument(), xml);
  const CXmlElement after = *document.GetElement(document.GetMainPosition());
  EXPECT_EQ(after.start, before.start);
  EXPECT_EQ(after.length, before.length);
  EXPECT_EQ(after.start_tag_length, before.start_tag_length);
  return text;
}

TEST(XmlDocumentReadTest, ElementTextDecodesRunsAndCData) {
  struct Case {
    std::string element;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"<T>a &amp; b</T>", "a & b"},
      {"<T>  spaced\r\n  lines </T>", "  spaced\r\n  lines "},
      {"<T>a<![CDATA[<x> &amp;]]>b</T>", "a<x> &amp;b"},
      {"<T>\r\n  <![CDATA[x]]>\r\n  <!-- note -->\r\n</T>", "x"},
      {"<T>a <!-- c --> b<?pi?>c</T>", "a  bc"},
      {"<T>&lt;&#65;&#x42;&nbsp;</T>", "<AB&nbsp;"},
      {"<T>\xC3\xA4\\n\xE5\x90\x8D</T>", "\xC3\xA4\\n\xE5\x90\x8D"},
      {"<T></T>", ""},
      {"<T/>", ""},
      {"<T><![CDATA[]]></T>", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadElementT(c.element, &CXmlDocument::GetElementText), c.text) << c.element;
}

// Values: references decoded and CDATA unwrapped, any other markup as written.
TEST(XmlDocumentReadTest, ContentTextDecodesAndKeepsOtherMarkup) {
  struct Case {
    std::string element;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"<T>https://h/f?a=1&amp;b=2</T>", "https://h/f?a=1&b=2"},
      {"<T><![CDATA[https://h/f?a=1&b=2]]></T>", "https://h/f?a=1&b=2"},
      {"<T> a<![CDATA[<x> &amp;]]>b </T>", " a<x> &amp;b "},
      {"<T>\n  Line &amp; two\n  <b>bold &lt;</b>\n</T>", "\n  Line & two\n  <b>bold <</b>\n"},
      {"<T>a<!-- c -->b</T>", "a<!-- c -->b"},
      {"<T>&lt;&#65;&#x42;&nbsp;</T>", "<AB&nbsp;"},
      {"<T></T>", ""},
      {"<T/>", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadElementT(c.element, &CXmlDocument::GetContentText), c.text) << c.element;
}

TEST(XmlDocumentReadTest, AttributesAreFoundByExactNameAndDecoded) {
  struct Case {
    std::string element;
    std::string name;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"<A v=\"a&amp;b&#65;&#x42;\"/>", "v", "a&bAB"},
      {"<A v='&nbsp;'/>", "v", "&nbsp;"},
      {"<A v='it&apos;s \"x\"'/>", "v", "it's \"x\""},
      {"<A v=\"it's\"/>", "v", "it's"},
      {"<A v=plain w=2>", "v", "plain"},
      {"<A v=plain/>", "v", "plain/"},
      {"<A v = 'spaced' />", "v", "spaced"},
      {"<A vv='1' v='2'/>", "v", "2"},
      {"<A V='1' v='2'/>", "v", "2"},
      {"<A v='1' v='2'/>", "v", "1"},
      {"<A v/>", "v", ""},
      {"<A w='1'/>", "v", ""},
      {"<A w='v=1'/>", "v", ""},
      {"<A/ v='1'>", "v", ""},
      {"<A ? v='1'>", "v", ""},
      {"<A \xC3\xA4='\xE5\x90\x8D'/>", "\xC3\xA4", "\xE5\x90\x8D"},
      {"<A v=''/>", "v", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    CXmlDocument document;
    document.SetDocument(c.element);
    ASSERT_TRUE(document.FindElement("A"));
    EXPECT_EQ(document.GetAttribute(c.name), c.value);
  }
}

// ---------------------------------------------------------------------------
// Decoding and escaping

TEST(XmlTextTest, DecodesReferences) {
  struct Case {
    std::string text;
    std::string decoded;
  };
  const std::vector<Case> cases = {
      {"&lt;&amp;&gt;&apos;&quot;", "<&>'\""},
      {"&LT;&Amp;", "&LT;&Amp;"},
      {"&lt", "&lt"},
      {"&amp;amp;", "&amp;"},
      {"&#65;&#x41;&#x6a;", "AAj"},
      {"&#0;&#x0;", "&#0;&#x0;"},
      {"&#65", "&#65"},
      {"&#;&#x;&#xg;&#X41;", "&#;&#x;&#xg;&#X41;"},
      {"&#65abc;z", "Az"},
      {"&#0000065;", "A"},
      {"&#00000065;", "&#00000065;"},  // no ";" within eight characters
      {"&#x0x41;", "A"},
      {"&#228;&#x540D;", "\xC3\xA4\xE5\x90\x8D"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},
      {"&#xD83D;&#xDE00;", "\xF0\x9F\x98\x80"},
      {"&#x110000;", "&#x110000;"},
      {"&&amp;&", "&&&"},
      {"&", "&"},
      {"&#", "&#"},
      {"plain", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DecodeXmlText(std::string_view(c.text)), c.decoded);
  }
}

TEST(XmlTextTest, EscapesMarkupCharacters) {
  EXPECT_EQ(EscapeXmlText(std::string_view("a<b>&'\"c")), "a&lt;b&gt;&amp;&apos;&quot;c");
  EXPECT_EQ(EscapeXmlText(std::string_view("\xC3\xA4 plain")), "\xC3\xA4 plain");
  EXPECT_EQ(EscapeXmlText(std::string_view("")), "");
  const std::string hard = "<&\"'>&amp;&#65;\xE5\x90\x8D";
  EXPECT_EQ(DecodeXmlText(std::string_view(EscapeXmlText(std::string_view(hard)))), hard);
}

// ---------------------------------------------------------------------------
// Editing

TEST(XmlDocumentEditTest, AddElementPlacesTheNewElement) {
  struct Case {
    std::string text;
    std::vector<std::string> path;  // elements to find and enter before adding
    std::string main;               // element to find after entering ("" for none)
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", {}, "", "<N/>\r\n"},
      {"<?xml version=\"1.0\" ?>", {}, "", "<?xml version=\"1.0\" ?><N/>\r\n"},
      {"<P/>", {"P"}, "", "<P>\r\n<N/>\r\n</P>"},
      {"<P a='1' />", {"P"}, "", "<P a='1' >\r\n<N/>\r\n</P>"},
      {"<P></P>", {"P"}, "", "<P>\r\n<N/>\r\n</P>"},
      {"<P>text</P>", {"P"}, "", "<P>text<N/>\r\n</P>"},
      {"<P><A/></P>", {"P"}, "", "<P><A/><N/>\r\n</P>"},
      {"<P><A/>  </P>", {"P"}, "A", "<P><A/>  <N/>\r\n</P>"},
      {"<P><A/>\r\n<B/></P>", {"P"}, "A", "<P><A/>\r\n<N/>\r\n<B/></P>"},
      {"<P><A/>x</P>", {"P"}, "A", "<P><A/><N/>\r\nx</P>"},
      {"<P><A></A>\r\n</P>", {"P"}, "A", "<P><A></A>\r\n<N/>\r\n</P>"},
      {"<R><P/><Q/></R>", {"R", "P"}, "", "<R><P>\r\n<N/>\r\n</P><Q/></R>"},
      {"<R><P></P><Q a='1'/></R>", {"R", "P"}, "", "<R><P>\r\n<N/>\r\n</P><Q a='1'/></R>"},
      {"<R/>  ", {}, "R", "<R/>  <N/>\r\n"},
      {"<R><P>", {}, "R", "<R><N/>\r\n<P>"},
      {"<R><P>", {}, "P", "<R><P><N/>\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CXmlDocument document;
    document.SetDocument(c.text);
    for (const std::string& name : c.path) {
      ASSERT_TRUE(document.FindElement(name));
      ASSERT_TRUE(document.EnterElement());
    }
    if (!c.main.empty()) {
      ASSERT_TRUE(document.FindElement(c.main));
    }
    ASSERT_TRUE(document.AddElement("N"));
    EXPECT_EQ(document.GetDocument(), c.expected);
    EXPECT_EQ(document.GetTagName(), "N");
    EXPECT_EQ(document.GetChildPosition(), 0u);
    ExpectSameAsReparsed(document);
  }
}

TEST(XmlDocumentEditTest, AddElementRefusesNamesThatDoNotReadBack) {
  CXmlDocument document;
  for (const char* name : {"", "1A", "A B", "A/", "A>", "A=1", "A'", "A\"", "A&", "<A", "-"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(document.AddElement(name));
  }
  EXPECT_EQ(document.GetDocument(), "");
  EXPECT_TRUE(document.AddElement("\xC3\x84rger"));

  // An element without end tag has no content to add to.
  document.SetDocument("<R><P>");
  ASSERT_TRUE(document.FindElement("R"));
  ASSERT_TRUE(document.EnterElement());
  EXPECT_FALSE(document.AddElement("N"));
  EXPECT_EQ(document.GetDocument(), "<R><P>");
}

TEST(XmlDocumentEditTest, SetAttributeInsertsOrReplaces) {
  struct Case {
    std::string text;
    std::string name;
    std::string value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"<A/>", "name", "v", "<A name=\"v\"/>"},
      {"<A />", "name", "v", "<A name=\"v\" />"},
      {"<A>t</A>", "name", "v", "<A name=\"v\">t</A>"},
      {"<A x='1'>t</A>", "name", "v", "<A x='1' name=\"v\">t</A>"},
      {"<A x='1'>t</A>", "x", "v", "<A x=\"v\">t</A>"},
      {"<A x=1 y='2'/>", "x", "22", "<A x=\"22\" y='2'/>"},
      {"<A x>t</A>", "x", "v", "<A x=\"v\">t</A>"},
      {"<A x = \"1\" ><B/></A>", "x", "", "<A x = \"\" ><B/></A>"},
      {"<A/>", "q", "a\"b<c>&'", "<A q=\"a&quot;b&lt;c&gt;&amp;&apos;\"/>"},
      {"<A/>", "\xC3\xA4", "\xE5\x90\x8D", "<A \xC3\xA4=\"\xE5\x90\x8D\"/>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " " + c.name);
    CXmlDocument document;
    document.SetDocument(c.text);
    ASSERT_TRUE(document.FindElement("A"));
    ASSERT_TRUE(document.SetAttribute(c.name, c.value));
    EXPECT_EQ(document.GetDocument(), c.expected);
    EXPECT_EQ(document.GetAttribute(c.name), c.value);
    ExpectSameAsReparsed(document);
  }
}

TEST(XmlDocumentEditTest, SetAttributeNeedsAnElementAndAPlainName) {
  CXmlDocument document;
  EXPECT_FALSE(document.SetAttribute("a", "1"));
  document.SetDocument("<A/>");
  EXPECT_FALSE(document.SetAttribute("a", "1"));  // nothing current yet
  ASSERT_TRUE(document.FindElement("A"));
  for (const char* name : {"", "a b", "a=", "a>", "a/", "a?", "a\"", "a'"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(document.SetAttribute(name, "1"));
  }
  EXPECT_EQ(document.GetDocument(), "<A/>");
}

TEST(XmlDocumentEditTest, EditsInsideANestedTreeKeepTheRecordsInStep) {
  CXmlDocument document;
  document.SetDocument("<R>\r\n  <S a='1'>\r\n    <T/>\r\n  </S>\r\n  <U/>\r\n</R>\r\n");
  ASSERT_TRUE(document.FindElement("R"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("S"));
  ASSERT_TRUE(document.SetAttribute("b", "a longer value"));
  ExpectSameAsReparsed(document);
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.FindElement("T"));
  ASSERT_TRUE(document.AddElement("T2"));
  ASSERT_TRUE(document.SetAttribute("x", "1"));
  ExpectSameAsReparsed(document);
  ASSERT_TRUE(document.LeaveElement());
  ASSERT_TRUE(document.FindElement("U"));
  ASSERT_TRUE(document.EnterElement());
  ASSERT_TRUE(document.AddElement("V"));
  ExpectSameAsReparsed(document);
  EXPECT_EQ(document.GetDocument(),
            "<R>\r\n  <S a='1' b=\"a longer value\">\r\n    <T/>\r\n  <T2 x=\"1\"/>\r\n</S>\r\n"
            "  <U>\r\n<V/>\r\n</U>\r\n</R>\r\n");
}

// ---------------------------------------------------------------------------
// Saving and loading

TEST(XmlDocumentFileTest, WritesTheInstalledSectionsLayoutAndReadsItBack) {
  struct Entry {
    std::string name;
    std::string version;
  };
  const std::vector<Entry> entries = {{"core", "1.0"},
                                      {"Gr\xC3\xBC\xC3\x9F"
                                       "e \xE5\x90\x8D",
                                       "2.0"},
                                      {"a<&\"'>b", "3"}};
  CXmlDocument document;
  document.SetDocument("<?xml version=\"1.0\" ?>");
  ASSERT_TRUE(document.AddElement("SECTIONS"));
  ASSERT_TRUE(document.EnterElement());
  for (const Entry& entry : entries) {
    ASSERT_TRUE(document.AddElement("SECTION"));
    ASSERT_TRUE(document.SetAttribute("name", entry.name));
    ASSERT_TRUE(document.SetAttribute("version", entry.version));
  }
  ExpectSameAsReparsed(document);
  const std::string expected =
      "<?xml version=\"1.0\" ?><SECTIONS>\r\n"
      "<SECTION name=\"core\" version=\"1.0\"/>\r\n"
      "<SECTION name=\"Gr\xC3\xBC\xC3\x9F"
      "e \xE5\x90\x8D\" version=\"2.0\"/>\r\n"
      "<SECTION name=\"a&lt;&amp;&quot;&apos;&gt;b\" version=\"3\"/>\r\n"
      "</SECTIONS>\r\n";

  TempFolder folder;
  std::string path = folder / "sections_app.xml";
  ASSERT_TRUE(document.SaveToFile(path));
  EXPECT_EQ(folder.Read("sections_app.xml"), expected);
  EXPECT_EQ(document.GetResultText(), std::to_string(Utf16Length(expected)) + " wide chars to " +
                                          std::to_string(expected.size()) + " bytes");

  CXmlDocument reloaded;
  EXPECT_TRUE(reloaded.LoadFromFile(path));
  EXPECT_EQ(reloaded.GetResultText(), "");
  ASSERT_TRUE(reloaded.FindElement("SECTIONS"));
  ASSERT_TRUE(reloaded.EnterElement());
  for (const Entry& entry : entries) {
    ASSERT_TRUE(reloaded.FindElement("SECTION"));
    EXPECT_EQ(reloaded.GetAttribute("name"), entry.name);
    EXPECT_EQ(reloaded.GetAttribute("version"), entry.version);
  }
  EXPECT_FALSE(reloaded.FindElement("SECTION"));
}

TEST(XmlDocumentFileTest, SaveReportsCountsAndFailures) {
  TempFolder folder;
  CXmlDocument document;
  document.SetDocument("<A>0123456789abcdefg</A>");  // 24 characters
  ASSERT_TRUE(document.SaveToFile(folder / "a.xml"));
  EXPECT_EQ(document.GetResultText(), "24 wide chars to 24 bytes");

  document.SetDocument("<\xC3\x84/>");
  ASSERT_TRUE(document.SaveToFile(folder / "a.xml"));
  EXPECT_EQ(document.GetResultText(), "4 wide chars to 5 bytes");
  EXPECT_EQ(folder.Read("a.xml"), "<\xC3\x84/>");

  EXPECT_FALSE(document.SaveToFile(folder / "missing/a.xml"));
  EXPECT_NE(document.GetResultText(), "");
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));

  // A folder in the way: the write fails and the folder stays.
  folder.Write("taken/inner", "x");
  EXPECT_FALSE(document.SaveToFile(folder / "taken"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));

  CXmlDocument empty;
  ASSERT_TRUE(empty.SaveToFile(folder / "empty.xml"));
  EXPECT_EQ(empty.GetResultText(), "0 wide chars to 0 bytes");
  EXPECT_EQ(folder.Read("empty.xml"), "");
  EXPECT_TRUE(std::filesystem::exists(folder / "empty.xml"));
}

TEST(XmlDocumentFileTest, LoadsUtf8Utf16AndWindows1252) {
  const std::string xml =
      "<DATA><T\xC3\xA4 n=\"\xE5\x90\x8D\">\xC3\xBC &amp; \xE2\x82\xAC</T\xC3\xA4></DATA>";
  struct Case {
    std::string label;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"utf-8", xml},
      {"utf-8 with bom", "\xEF\xBB\xBF" + xml},
      {"utf-16le with bom", EncodeTextFile(xml, TextEncoding::kUtf16LeBom)},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CXmlDocument document;
    EXPECT_TRUE(document.LoadFromFile(folder.Write("lang.xml", c.bytes)));
    ASSERT_TRUE(document.FindElement("DATA"));
    ASSERT_TRUE(document.EnterElement());
    ASSERT_TRUE(document.FindElement("T\xC3\xA4"));
    EXPECT_EQ(document.GetAttribute("n"), "\xE5\x90\x8D");
    EXPECT_EQ(document.GetElementText(), "\xC3\xBC & \xE2\x82\xAC");
  }

  // Bytes that are not UTF-8 are Windows-1252: 0xE4 is a-umlaut, 0x80 the euro sign.
  CXmlDocument document;
  EXPECT_TRUE(document.LoadFromFile(folder.Write("ansi.xml", "<A v='\xE4'>\x80</A>")));
  ASSERT_TRUE(document.FindElement("A"));
  EXPECT_EQ(document.GetAttribute("v"), "\xC3\xA4");
  EXPECT_EQ(document.GetElementText(), "\xE2\x82\xAC");

  EXPECT_FALSE(document.LoadFromFile(folder / "missing.xml"));
  EXPECT_EQ(document.GetResultText(), "Unable to read file");
  EXPECT_FALSE(document.FindElement(""));
}

}  // namespace
