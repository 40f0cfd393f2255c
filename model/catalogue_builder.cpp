#include "model/catalogue_builder.h"

#include "model/description_reader.h"

std::unique_ptr<TSoubory> BuildCatalogue(std::string_view modelName) {
  auto catalogue = std::make_unique<TSoubory>();
  catalogue->CommandLineMode = true;
  ReadDescriptions(*catalogue);
  if (modelName.empty()) return catalogue;
  catalogue->ModelName = std::string(modelName);
  catalogue->ApplyModelLayout();
  ReadDescriptions(*catalogue);
  catalogue->ApplyModelOptions();
  return catalogue;
}
