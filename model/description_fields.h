#pragma once
// DescriptionFields: the fields of one description row, cut at each ";" (a
// final ";" is implied, so "a;b" and "a;b;" both hold two fields). A field
// beyond the last one reads as empty. The fields are views into the row,
// which must outlive the object.
#include <cstddef>
#include <string_view>
#include <vector>

class DescriptionFields {
public:
  explicit DescriptionFields(std::string_view row) {
    std::size_t start = 0;
    while (start < row.size()) {
      auto end = row.find(';', start);
      if (end == std::string_view::npos) end = row.size();
      fields_.push_back(row.substr(start, end - start));
      start = end + 1;
    }
  }

  std::size_t size() const { return fields_.size(); }
  std::string_view operator[](std::size_t index) const {
    return index < fields_.size() ? fields_[index] : std::string_view{};
  }

private:
  std::vector<std::string_view> fields_;
};
