// The XML document over any text: parsing, walking every element, reading
// attributes and contents, editing, and the saved text parsed again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "updater/description/xml_document.h"

namespace {

constexpr int kMaxVisits = 4096;

// Walks the children of the parent position depth first, reading each.
void Walk(CXmlDocument& document, int& visits) {
  while (visits < kMaxVisits && document.FindElement("")) {
    ++visits;
    (void)document.GetTagName();
    (void)document.GetAttribute("name");
    (void)document.GetAttribute("version");
    (void)document.GetRawContent();
    (void)document.GetContentText();
    (void)document.GetElementText();
    if (document.EnterElement()) {
      Walk(document, visits);
      FuzzCheck(document.LeaveElement(), "LeaveElement after EnterElement");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxFuzzInputBytes) return 0;
  // The first byte picks the way in: UTF-8 text, the bytes as UTF-16 units,
  // or a file read with its encoding found out.
  const int way = data[0] % 3;
  std::string_view text = InputText(data + 1, size - 1);
  CXmlDocument document;
  if (way == 1) {
    std::u16string units(text.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(text[2 * i]) |
                                       static_cast<unsigned char>(text[2 * i + 1]) << 8);
    document.SetDocumentUtf16(std::move(units));
  } else if (way == 2) {
    (void)document.LoadFromFile(WriteScratchFile("document.xml", text));
  } else {
    document.SetDocument(text);
  }
  for (std::uint32_t i = 0; i <= document.GetElementCount(); ++i) (void)document.GetTagName(i);
  int visits = 0;
  Walk(document, visits);

  // Editing inside whatever was found, then the text as it would be saved.
  document.ResetPosition();
  if (document.FindElement("")) {
    (void)document.SetAttribute("fuzz", "a<b&\"c\"");
    if (document.EnterElement() && document.AddElement("ADDED")) {
      FuzzCheck(document.SetAttribute("v", "1 & 2"), "SetAttribute on a new element");
      FuzzCheck(document.GetAttribute("v") == "1 & 2", "attribute read back as written");
    }
  }
  CXmlDocument again;
  again.SetDocument(document.GetDocument());
  visits = 0;
  Walk(again, visits);
  return 0;
}
