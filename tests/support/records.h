// The run records a test finds, read by Python's json module: a reader that shares nothing with
// the program's writer. Each record comes back flattened, "blocks.erased" -> "7": strings as their
// bytes (each code point taken as one byte), every other value as JSON text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace ql::testing {

using Record = std::map<std::string, std::string>;

inline std::vector<Record> ParseRecords(const std::string& path) {
  const std::string command = "python3 - '" + path + "' 2>&1 <<'EOF'\n" + R"(import json, sys
def walk(path, v):
    if isinstance(v, (dict, list)):
        for k, x in (v.items() if isinstance(v, dict) else enumerate(v)):
            walk(path + str(k) + ".", x)
    else:
        text = v if isinstance(v, str) else json.dumps(v)
        sys.stdout.buffer.write((path[:-1] + "=" + text).encode("latin-1") + b"\0")
for line in open(sys.argv[1], "rb").read().split(b"\n")[:-1]:
    record = json.loads(line.decode("ascii"))
    assert isinstance(record, dict)
    walk("", record)
    sys.stdout.buffer.write(b"\1")
)" + "EOF\n";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
  const int status = pipe != nullptr ? pclose(pipe) : -1;
  EXPECT_EQ(status, 0) << "not JSON Lines: " << path << "\n" << out;
  std::vector<Record> records(1);
  for (size_t at = 0, end;
       (end = out.find_first_of(std::string("\0\1", 2), at)) != std::string::npos; at = end + 1) {
    if (out[end] == '\1') {
      records.emplace_back();
      continue;
    }
    const size_t is = out.find('=', at);
    records.back()[out.substr(at, is - at)] = out.substr(is + 1, end - is - 1);
  }
  records.pop_back();
  return records;
}

}  // namespace ql::testing
