"""The OpenAPI document of mervd against its real answers: each answer's
status must be documented for its path and method, and its body must match
the documented schema (additional fields are refused by the schemas)."""
import json

import jsonschema
import pytest


def documented_schema(document, path, method, status):
    operation = document["paths"][path][method]
    assert str(status) in operation["responses"], f"{method} {path} answered {status}, which is not documented"
    response = operation["responses"][str(status)]
    if "$ref" in response:
        response = document["components"]["responses"][response["$ref"].rsplit("/", 1)[1]]
    return response["content"]["application/json"]["schema"]


def check(document, path, method, answer):
    status, body = answer
    schema = documented_schema(document, path, method, status)
    resolver = jsonschema.RefResolver.from_schema(document)
    jsonschema.Draft202012Validator(schema, resolver=resolver).validate(body)


@pytest.fixture
def served(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection(), "b": register.connection()})
    status, document = daemon.call("GET", "/v1/openapi.json")
    assert status == 200 and document["openapi"].startswith("3.")
    return daemon, document


def test_answers_match_the_document(served):
    daemon, document = served
    commands = "/v1/lines/{line}/commands"
    command = "/v1/lines/{line}/commands/{request_id}"
    check(document, "/v1/health", "get", daemon.call("GET", "/v1/health"))
    check(document, "/v1/lines", "get", daemon.call("GET", "/v1/lines"))
    check(document, commands, "post", daemon.post_command("a", request_id="w1", wait=False))
    check(document, "/v1/lines", "get", daemon.call("GET", "/v1/lines"))
    check(document, command, "get", daemon.call("GET", "/v1/lines/a/commands/w1"))
    daemon.await_end("a", "w1")
    check(document, commands, "post", daemon.post_command("a", request_id="w2"))
    check(document, commands, "post", daemon.post_command("a", activity="W03", request_id="w2"))
    check(document, command, "get", daemon.call("GET", "/v1/lines/a/commands/w1"))
    check(document, "/v1/lines", "get", daemon.call("GET", "/v1/lines"))
    check(document, commands, "post", daemon.post_command("a", activity="NOPE"))
    check(document, commands, "post", daemon.call("POST", "/v1/lines/a/commands", "{"))
    check(document, commands, "post", daemon.call("POST", "/v1/lines/zz/commands", {"activity": "STS"}))
    check(document, command, "get", daemon.call("GET", "/v1/lines/a/commands/none"))
    check(document, "/v1/lines", "get", daemon.call("GET", "/v1/lines", token=False))


def test_every_path_the_document_names_is_served(served):
    daemon, document = served
    for path, operations in document["paths"].items():
        concrete = path.replace("{line}", "a").replace("{request_id}", "none").replace("{name}", "none")
        for method in operations:
            status, _, _ = daemon.request(method.upper(), concrete, body="{}" if method == "post" else None)
            assert status != 405 and not (status == 404 and "{" not in path), (method, path, status)


def test_a_schema_that_does_not_fit_is_caught(served):
    daemon, document = served
    status, health = daemon.call("GET", "/v1/health")
    health["unexpected"] = 1
    with pytest.raises(jsonschema.ValidationError):
        check(document, "/v1/health", "get", (status, health))


def test_the_diagnosis_matches_the_document(served):
    daemon, document = served
    answer = daemon.call("POST", "/v1/lines/a/doctor")
    check(document, "/v1/lines/{line}/doctor", "post", answer)
    names = [item["name"] for item in answer[1]["checks"]]
    assert "ENQ round trip" in names and "TCP address" in names
    check(document, "/v1/lines/{line}/doctor", "post", daemon.call("POST", "/v1/lines/zz/doctor"))
