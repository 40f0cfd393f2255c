#pragma once
// The OpenAPI 3 document of mervd's API (GET /v1/openapi.json). The tests
// validate the real answers against its response schemas.
#include <string>

const std::string& OpenApiJson();
