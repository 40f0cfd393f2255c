#include "base/run_context.h"

#include <utility>

namespace {

// The run in use. Process-wide because every layer logs and writes files,
// down to the line's bytes, while only a command's own steps are handed its
// context; each context names itself here for its lifetime.
TRunContext* ContextInUse = nullptr;

}  // namespace

TRunContext::TRunContext(std::string programFolder, TLog& log)
    : programFolder_(std::move(programFolder)),
      log_(log),
      inPlaceWriteLimit_(ContextInUse != nullptr ? ContextInUse->inPlaceWriteLimit_ : DefaultInPlaceWriteLimit),
      languageBase_(ContextInUse != nullptr ? ContextInUse->languageBase_ : DefaultLanguageBase),
      datesInUserLocale_(ContextInUse != nullptr && ContextInUse->datesInUserLocale_),
      previous_(std::exchange(ContextInUse, this)) {}

TRunContext::~TRunContext() {
  if (previous_ != nullptr) previous_->inPlaceWriteLimit_ = inPlaceWriteLimit_;
  ContextInUse = previous_;
}

TRunContext* RunContextInUse() { return ContextInUse; }
