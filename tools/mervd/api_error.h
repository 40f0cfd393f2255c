#pragma once
// TApiError: a request the API refuses, with the HTTP status and a message
// for the client; the server answers it as {"error": {"status", "message"}}.
#include <stdexcept>
#include <string>

class TApiError : public std::runtime_error {
public:
  TApiError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int Status() const { return status_; }

private:
  int status_;
};
