#pragma once
// Builds the model catalogue of one command from the description blocks of
// the string resources. The caller owns the catalogue.
#include <memory>
#include <string_view>

#include "model/soubory.h"

/// The catalogue as every command builds it: created, command-line mode
/// set, descriptions read; with a model name also the name set, the model
/// layout applied, the descriptions read again and the model options
/// applied. An empty name leaves the default layout.
std::unique_ptr<TSoubory> BuildCatalogue(std::string_view modelName);
