#pragma once
// The element records of an XML document and the segmented table that holds them.

#include <cstddef>
#include <cstdint>
#include <vector>

// Flags of an element record.
enum XmlElementFlag : std::uint16_t {
  kXmlElementEmpty = 0x1,     // written as "<name .../>"
  kXmlElementNotEnded = 0x2,  // no end tag; its extent is its start tag
  kXmlElementFirst = 0x4,     // first among its siblings
};

// One element of the document text. Offsets and lengths count UTF-16 units.
// Record 0 stands for the document as a whole.
struct CXmlElement {
  std::uint32_t start = 0;             // offset of its "<"
  std::uint32_t length = 0;            // up to and including the ">" of its end (or empty) tag
  std::uint32_t start_tag_length = 0;  // "<name ...>" or "<name .../>"
  std::uint32_t end_tag_length = 0;    // "</name>"; 0 for an empty or not ended element
  std::uint16_t flags = 0;             // XmlElementFlag bits
  std::uint16_t level = 0;             // 0 for the document, 1 for the root element
  std::uint32_t parent = 0;
  std::uint32_t first_child = 0;
  std::uint32_t next_sibling = 0;  // 0 after the last
  std::uint32_t prev_sibling = 0;  // for the first child: the last child
};

// Records addressed by a 32-bit index: the high 16 bits select a segment of
// 65536 records, the low 16 bits the record within it. Full segments never move.
class CXmlElementTable {
 public:
  static constexpr std::uint32_t kSegmentBits = 16;
  static constexpr std::uint32_t kSegmentSize = 1u << kSegmentBits;

  // Removes every record; the capacity stays.
  void Clear();
  // Makes room for at least `records` records in total.
  void Reserve(std::size_t records);
  // Appends a zeroed record and returns its index. When the table is full it
  // grows to one and a half times the records in use.
  std::uint32_t Add();
  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return capacity_; }

  CXmlElement& operator[](std::uint32_t index) {
    return segments_[index >> kSegmentBits][index & (kSegmentSize - 1)];
  }
  const CXmlElement& operator[](std::uint32_t index) const {
    return segments_[index >> kSegmentBits][index & (kSegmentSize - 1)];
  }

 private:
  std::vector<std::vector<CXmlElement>> segments_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};
