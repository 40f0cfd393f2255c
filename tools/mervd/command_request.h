#pragma once
// The body of POST /v1/lines/{line}/commands, checked before anything runs:
//   {"activity": "R03", "parameters": {"FILE": "plu.txt"}, "request_id": "...", "wait": true}
// The activity must be one the module knows (not the resident mode); each
// parameter's name exactly one of its command line (once, in any case), not one the line's
// configuration sets (line, speed, address, model, /JSON, /LOG); a value
// holds no "/" (the module cuts its command at every "/") and no control
// character; a file or folder, and a value that becomes part of a file's
// name (the export's shop and register), is a bare name, so that what is
// written lies in the line folder. Every refusal is a
// TApiError with status 400 (not JSON, wrong types) or 422 (unknown or
// forbidden activity or parameter).
#include <string>

#include "tools/mervd/command_record.h"

struct TCommandRequest {
  TCommandRecord Record;
  /// False: answer 202 at once instead of waiting for the outcome.
  bool Wait = true;
};

/// The request for `line`; a missing request id gets a new random one.
TCommandRequest ParseCommandRequest(const std::string& body, const std::string& line);

/// A new random request id (32 hexadecimal digits).
std::string NewRequestId();
