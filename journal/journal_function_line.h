#pragma once
// The lines of a function-key record (code 2C): a head that names the key or
// the report heading, and a value right-aligned so that the line is 48
// characters wide, with up to two further lines of amounts. The head depends
// on the register model: the 465 family names payment, currency and
// department keys, report headings and key functions; the CM-840 names
// payment, currency and department keys and key functions; every other model
// has no head.
#include "journal/journal_line_context.h"
#include "journal/journal_lines.h"

JournalLines FunctionKeyLines(const TJournalLineContext& context);
