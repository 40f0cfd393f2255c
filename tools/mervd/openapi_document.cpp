#include "tools/mervd/openapi_document.h"

namespace {

constexpr const char* Document = R"json({
  "openapi": "3.1.0",
  "info": {"title": "mervd", "version": "1",
           "description": "Runs MERV Modul commands on register lines, one at a time per line."},
  "components": {
    "securitySchemes": {"bearer": {"type": "http", "scheme": "bearer"}},
    "schemas": {
      "Problem": {"type": "object", "required": ["status", "message"], "additionalProperties": false,
        "properties": {"status": {"type": "integer", "minimum": 400, "maximum": 599}, "message": {"type": "string"}}},
      "Health": {"type": "object", "additionalProperties": false, "required": ["status", "version", "lines"],
        "properties": {"status": {"type": "string", "enum": ["ok"]}, "version": {"type": "string"},
                       "lines": {"type": "integer", "minimum": 1}}},
      "FileLink": {"type": "object", "required": ["name", "href"],
        "properties": {"name": {"type": "string"}, "href": {"type": "string"}}},
      "Outcome": {"type": "object", "additionalProperties": false, "required": ["error", "text", "activity", "rows", "file", "started", "milliseconds"],
        "properties": {"error": {"type": "integer"}, "text": {"type": "string"}, "activity": {"type": "string"},
                       "rows": {"type": "integer"}, "file": {"type": "string"}, "started": {"type": "string"},
                       "milliseconds": {"type": "integer"}}},
      "CommandRequest": {"type": "object", "required": ["activity"],
        "properties": {"activity": {"type": "string", "example": "STS"},
                       "parameters": {"type": "object", "additionalProperties": {"oneOf": [{"type": "string"}, {"type": "integer"}, {"type": "boolean"}]}},
                       "request_id": {"type": "string", "pattern": "^[A-Za-z0-9_-][A-Za-z0-9._-]{0,63}$"},
                       "wait": {"type": "boolean", "default": true}}},
      "Command": {"type": "object", "additionalProperties": false,
        "required": ["request_id", "line", "activity", "parameters", "state", "accepted", "started", "finished", "href"],
        "properties": {
          "request_id": {"type": "string"}, "line": {"type": "string"}, "activity": {"type": "string"},
          "parameters": {"type": "object", "additionalProperties": {"type": "string"}},
          "state": {"type": "string", "enum": ["queued", "running", "done", "failed", "interrupted"]},
          "accepted": {"type": "string"}, "started": {"type": ["string", "null"]},
          "finished": {"type": ["string", "null"]}, "href": {"type": "string"},
          "message": {"type": "string"}, "outcome": {"$ref": "#/components/schemas/Outcome"},
          "error": {"type": "integer"}, "meaning": {"type": "string"}, "advice": {"type": "string"},
          "files": {"type": "array", "items": {"$ref": "#/components/schemas/FileLink"}}}},
      "Line": {"type": "object", "additionalProperties": false, "required": ["name", "state", "queued", "recent"],
        "properties": {"name": {"type": "string"}, "state": {"type": "string", "enum": ["idle", "running"]},
                       "queued": {"type": "integer", "minimum": 0}, "activity": {"type": "string"},
                       "request_id": {"type": "string"}, "running_seconds": {"type": "number"},
                       "recent": {"type": "array", "items": {"$ref": "#/components/schemas/Command"}}}},
      "Lines": {"type": "object", "required": ["lines"],
        "properties": {"lines": {"type": "array", "items": {"$ref": "#/components/schemas/Line"}}}},
      "Check": {"type": "object", "required": ["name", "ok", "detail"], "additionalProperties": false,
        "properties": {"name": {"type": "string"}, "ok": {"type": "boolean"}, "detail": {"type": "string"},
                       "advice": {"type": "string"}}},
      "Diagnosis": {"type": "object", "required": ["ok", "checks"], "additionalProperties": false,
        "properties": {"ok": {"type": "boolean"}, "checks": {"type": "array", "items": {"$ref": "#/components/schemas/Check"}}}}
    },
    "responses": {
      "Problem": {"description": "Refused", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Problem"}}}}
    },
    "parameters": {
      "line": {"name": "line", "in": "path", "required": true, "schema": {"type": "string"}}
    }
  },
  "security": [{"bearer": []}],
  "paths": {
    "/v1/health": {"get": {"summary": "The service runs",
      "responses": {"200": {"description": "Running", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Health"}}}},
                    "401": {"$ref": "#/components/responses/Problem"}}}},
    "/v1/lines": {"get": {"summary": "Every line with its state, queue and last outcomes",
      "responses": {"200": {"description": "The lines", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Lines"}}}},
                    "401": {"$ref": "#/components/responses/Problem"}}}},
    "/v1/lines/{line}/commands": {"post": {"summary": "Run a command on the line (once per request_id)",
      "parameters": [{"$ref": "#/components/parameters/line"}],
      "requestBody": {"required": true, "content": {"application/json": {"schema": {"$ref": "#/components/schemas/CommandRequest"}}}},
      "responses": {
        "200": {"description": "The command has ended", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Command"}}}},
        "202": {"description": "Accepted or still running", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Command"}}}},
        "400": {"$ref": "#/components/responses/Problem"}, "401": {"$ref": "#/components/responses/Problem"},
        "404": {"$ref": "#/components/responses/Problem"}, "409": {"$ref": "#/components/responses/Problem"},
        "411": {"$ref": "#/components/responses/Problem"}, "413": {"$ref": "#/components/responses/Problem"},
        "422": {"$ref": "#/components/responses/Problem"}, "429": {"$ref": "#/components/responses/Problem"}}}},
    "/v1/lines/{line}/commands/{request_id}": {"get": {"summary": "A command's record and outcome",
      "parameters": [{"$ref": "#/components/parameters/line"},
                     {"name": "request_id", "in": "path", "required": true, "schema": {"type": "string"}}],
      "responses": {"200": {"description": "The command", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Command"}}}},
                    "404": {"$ref": "#/components/responses/Problem"}, "409": {"$ref": "#/components/responses/Problem"}}}},
    "/v1/lines/{line}/files/{name}": {"get": {"summary": "A file of the line folder",
      "parameters": [{"$ref": "#/components/parameters/line"},
                     {"name": "name", "in": "path", "required": true, "schema": {"type": "string"}}],
      "responses": {"200": {"description": "The file's bytes", "content": {"application/octet-stream": {"schema": {"type": "string", "format": "binary"}}}},
                    "404": {"$ref": "#/components/responses/Problem"}}}},
    "/v1/lines/{line}/doctor": {"post": {"summary": "The line's diagnosis (mervmodul --doctor)",
      "parameters": [{"$ref": "#/components/parameters/line"}],
      "responses": {"200": {"description": "The checks", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Diagnosis"}}}},
                    "404": {"$ref": "#/components/responses/Problem"}, "503": {"$ref": "#/components/responses/Problem"}}}},
    "/v1/openapi.json": {"get": {"summary": "This document",
      "responses": {"200": {"description": "OpenAPI 3", "content": {"application/json": {"schema": {"type": "object"}}}}}}},
    "/metrics": {"get": {"summary": "Prometheus text format",
      "responses": {"200": {"description": "The series", "content": {"text/plain": {"schema": {"type": "string"}}}}}}}
  }
}
)json";

}  // namespace

const std::string& OpenApiJson() {
  static const std::string document = Document;
  return document;
}
