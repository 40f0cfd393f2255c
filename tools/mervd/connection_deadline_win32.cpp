// Windows: no watch; the HTTP library's per-read time-out bounds each read.
#include "tools/mervd/connection_deadline.h"

struct TConnectionDeadline::TWatch {};

TConnectionDeadline::TConnectionDeadline(int, std::chrono::seconds) : watch_(std::make_unique<TWatch>()) {}
TConnectionDeadline::~TConnectionDeadline() = default;
void TConnectionDeadline::NoteAccepted() {}
void TConnectionDeadline::NoteRequestRead(const std::string&, int) {}
void TConnectionDeadline::SetListenPort(int) {}
