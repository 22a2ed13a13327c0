// The one JSON writer of the tool's --json outputs.
#pragma once

#include <string>

// A JSON string literal of UTF-8 text: quotes, backslashes and control characters escaped.
std::string JsonString(const std::string& utf8);
