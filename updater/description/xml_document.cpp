#include "updater/description/xml_document.h"

CXmlDocument::CXmlDocument() { SetDocument(""); }
bool CXmlDocument::SetDocument(std::string_view) {
  result_ = "Empty document";
  return false;
}
bool CXmlDocument::SetDocumentUtf16(std::u16string) { return false; }
bool CXmlDocument::LoadFromFile(const std::string&) { return false; }
std::string CXmlDocument::GetDocument() const { return {}; }
void CXmlDocument::ResetPosition() {}
bool CXmlDocument::FindElement(std::string_view) { return false; }
bool CXmlDocument::EnterElement() { return false; }
bool CXmlDocument::LeaveElement() { return false; }
std::string CXmlDocument::GetTagName() const { return {}; }
std::string CXmlDocument::GetAttribute(std::string_view) const { return {}; }
std::string CXmlDocument::GetRawContent() const { return {}; }
std::string CXmlDocument::GetElementText() const { return {}; }
bool CXmlDocument::AddElement(std::string_view) { return false; }
bool CXmlDocument::SetAttribute(std::string_view, std::string_view) { return false; }
bool CXmlDocument::SaveToFile(const std::string&) { return false; }
std::optional<CXmlElement> CXmlDocument::GetElement(std::uint32_t) const { return {}; }
std::string CXmlDocument::GetTagName(std::uint32_t) const { return {}; }
