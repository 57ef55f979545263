// JSON text, written by the program itself (the product uses no library beyond the standard one
// and the system's). Every byte of a string is kept: a byte above 0x7F (a DMI string is bytes in no
// declared code page) becomes \u00XX, the code point of the same number, so the text is pure ASCII
// and a reader gets every byte back by taking each code point as one byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

// `bytes` as a quoted JSON string.
std::string JsonString(std::string_view bytes);

// One JSON value, built in order. `key` names a member inside an object; inside an array it is
// null. The writer does not check nesting: its callers are few and fixed.
class JsonWriter {
 public:
  JsonWriter& BeginObject(const char* key = nullptr);
  JsonWriter& EndObject();
  JsonWriter& BeginArray(const char* key = nullptr);
  JsonWriter& EndArray();
  JsonWriter& String(const char* key, std::string_view bytes);
  JsonWriter& Number(const char* key, uint64_t value);
  JsonWriter& Bool(const char* key, bool value);
  JsonWriter& Null(const char* key);
  const std::string& Text() const { return text_; }

 private:
  // The comma before every value but a first one, and the member's name.
  void Start(const char* key);
  // Opens or closes an object or an array with its bracket.
  JsonWriter& Open(const char* key, char bracket);
  JsonWriter& Close(char bracket);
  std::string text_;
  bool needComma_ = false;
};

}  // namespace ql
