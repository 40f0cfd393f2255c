#include "model/model_list.h"

std::string ModelNameOfCode(std::string_view code) {
  if (code.empty()) return {};
  for (const auto& model : Models) {
    if (model.Code == code) return std::string(model.Name);
  }
  return {};
}

const TModel* ModelNamed(std::string_view name) {
  for (const auto& model : Models) {
    if (model.Name == name) return &model;
  }
  return nullptr;
}
