#pragma once
// The lines as the API (GET /v1/lines) and the metrics (GET /metrics, the
// Prometheus text format) show them.
#include <string>
#include <vector>

#include "tools/mervd/line_worker.h"

/// {"lines": [{"name", "state": "idle"|"running", "activity", "request_id",
///  "running_seconds", "queued", "recent": [records]}]}
std::string LinesJson(const std::vector<TLineSnapshot>& lines);

/// mervd_line_busy, mervd_line_queued, mervd_line_running_seconds and
/// mervd_commands_total{line, error} (error "none": the command left no outcome).
std::string MetricsText(const std::vector<TLineSnapshot>& lines);
