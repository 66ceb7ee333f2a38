#include "updater/description/xml_element.h"

#include <algorithm>

void CXmlElementTable::Clear() {
  for (auto& segment : segments_) segment.clear();
  size_ = 0;
}

void CXmlElementTable::Reserve(std::size_t records) {
  if (records <= capacity_) return;
  std::size_t segment_count = (records + kSegmentSize - 1) / kSegmentSize;
  if (segments_.size() < segment_count) segments_.resize(segment_count);
  for (std::size_t i = 0; i < segment_count; ++i) {
    std::size_t wanted = std::min<std::size_t>(kSegmentSize, records - i * kSegmentSize);
    segments_[i].reserve(wanted);
  }
  capacity_ = records;
}

std::uint32_t CXmlElementTable::Add() {
  if (size_ == capacity_) Reserve(std::max<std::size_t>(size_ + 1, size_ + size_ / 2));
  std::size_t segment = size_ >> kSegmentBits;
  segments_[segment].emplace_back();
  return static_cast<std::uint32_t>(size_++);
}
