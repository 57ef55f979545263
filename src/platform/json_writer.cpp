#include "platform/json_writer.h"

#include <cstdio>

namespace ql {

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void JsonWriter::Start(const char* key) {
  if (needComma_) text_ += ',';
  if (key != nullptr) text_ += JsonString(key) + ':';
  needComma_ = true;
}

JsonWriter& JsonWriter::Open(const char* key, char bracket) {
  Start(key);
  text_ += bracket;
  needComma_ = false;
  return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
  text_ += bracket;
  needComma_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginObject(const char* key) {
  return Open(key, '{');
}
JsonWriter& JsonWriter::EndObject() {
  return Close('}');
}
JsonWriter& JsonWriter::BeginArray(const char* key) {
  return Open(key, '[');
}
JsonWriter& JsonWriter::EndArray() {
  return Close(']');
}

JsonWriter& JsonWriter::String(const char* key, std::string_view bytes) {
  Start(key);
  text_ += JsonString(bytes);
  return *this;
}

JsonWriter& JsonWriter::Number(const char* key, uint64_t value) {
  Start(key);
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(const char* key, bool value) {
  Start(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null(const char* key) {
  Start(key);
  text_ += "null";
  return *this;
}

}  // namespace ql
