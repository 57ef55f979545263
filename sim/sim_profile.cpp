#include "sim/sim_profile.h"

#include <algorithm>
#include <functional>
#include <map>

namespace ql::sim {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Splits on the blanks of the C locale by hand: a string stream would link the whole locale and
// stream machinery into quorrelite.exe, which carries the simulator.
std::vector<std::string> Words(const std::string& s) {
  constexpr const char* kBlanks = " \t\n\v\f\r";
  std::vector<std::string> words;
  for (size_t b = s.find_first_not_of(kBlanks); b != std::string::npos;) {
    size_t e = s.find_first_of(kBlanks, b);
    words.push_back(s.substr(b, e - b));
    b = e == std::string::npos ? e : s.find_first_not_of(kBlanks, e);
  }
  return words;
}

bool ParseBool(const std::string& s, bool* value) {
  if (s == "yes" || s == "true" || s == "1") return *value = true, true;
  if (s == "no" || s == "false" || s == "0") return *value = false, true;
  return false;
}

bool ParseByte(const std::string& s, uint8_t* value) {
  uint32_t v = 0;
  if (!ParseNumber(s, &v) || v > 0xFF) return false;
  *value = static_cast<uint8_t>(v);
  return true;
}

// Texts keep their line breaks as the two characters \n.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\')) {
      out += s[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Comma- or blank-separated offsets, appended to *list.
bool ParseOffsets(const std::string& s, std::vector<uint32_t>* list) {
  std::string spaced = s;
  for (char& c : spaced) {
    if (c == ',') c = ' ';
  }
  std::vector<std::string> words = Words(spaced);
  if (words.empty()) return false;
  for (const std::string& w : words) {
    uint32_t v = 0;
    if (!ParseNumber(w, &v)) return false;
    list->push_back(v);
  }
  return true;
}

// "OFFSET:MASK"
bool ParseStuck(const std::string& s, bool high, std::vector<StuckBits>* list) {
  size_t colon = s.find(':');
  if (colon == std::string::npos) return false;
  StuckBits bits;
  bits.high = high;
  if (!ParseNumber(Trim(s.substr(0, colon)), &bits.offset)) return false;
  if (!ParseByte(Trim(s.substr(colon + 1)), &bits.mask) || bits.mask == 0) return false;
  list->push_back(bits);
  return true;
}

// "SIZE OFFSET LINEAR|auto ATTRIB", or "none" for an explicitly empty table.
bool ParseBlock(const std::string& s, SimProfile* p) {
  p->explicitBlocks = true;
  if (s == "none") return p->blocks.clear(), true;
  std::vector<std::string> w = Words(s);
  if (w.size() != 4) return false;
  BlockSpec b;
  if (!ParseNumber(w[0], &b.blockSize) || !ParseNumber(w[1], &b.fileOffset)) return false;
  b.autoLinear = w[2] == "auto";
  if (!b.autoLinear && !ParseNumber(w[2], &b.linearPtr)) return false;
  if (!ParseNumber(w[3], &b.attrib)) return false;
  p->blocks.push_back(b);
  return true;
}

struct PowerPreset {
  uint8_t ac, battery;
};

using Setter = std::function<bool(const std::string&, SimProfile*)>;

struct KeyRule {
  Setter set;
  const char* expects;  // what the value must look like, for the error message
};

Setter Number(uint32_t SimProfile::*field) {
  return [field](const std::string& s, SimProfile* p) { return ParseNumber(s, &(p->*field)); };
}
Setter Byte(uint8_t SimProfile::*field) {
  return [field](const std::string& s, SimProfile* p) { return ParseByte(s, &(p->*field)); };
}
Setter Flag(bool SimProfile::*field) {
  return [field](const std::string& s, SimProfile* p) { return ParseBool(s, &(p->*field)); };
}
Setter Text(std::string SimProfile::*field) {
  return [field](const std::string& s, SimProfile* p) {
    p->*field = Unescape(s);
    return true;
  };
}

Setter Offsets(std::vector<uint32_t> SimProfile::*field) {
  return [field](const std::string& s, SimProfile* p) { return ParseOffsets(s, &(p->*field)); };
}

template <typename E>
Setter Choice(E SimProfile::*field, std::map<std::string, E> names) {
  return [field, names](const std::string& s, SimProfile* p) {
    auto it = names.find(s);
    if (it == names.end()) return false;
    p->*field = it->second;
    return true;
  };
}

const std::map<std::string, KeyRule>& Rules() {
  static const std::map<std::string, KeyRule> rules = {
      {"part_code", {Byte(&SimProfile::partCode), "a byte (0 to 0xFF)"}},
      {"part_supported", {Flag(&SimProfile::partSupported), "yes or no"}},
      {"block_size",
       {[](const std::string& s, SimProfile* p) {
          return ParseNumber(s, &p->blockSize) && p->blockSize != 0 && p->blockSize % 4096 == 0;
        },
        "a non-zero multiple of 4096"}},
      {"block", {ParseBlock, "SIZE OFFSET LINEAR|auto ATTRIB, or none"}},
      {"erase_ms", {Number(&SimProfile::eraseMs), "milliseconds"}},
      {"program_ms", {Number(&SimProfile::programMs), "milliseconds"}},
      {"read_ms", {Number(&SimProfile::readMs), "milliseconds"}},
      {"password",
       {[](const std::string& s, SimProfile* p) {
          if (s == "none") return p->password = 0, true;
          return ParseNumber(s, &p->password) && p->password != 0;
        },
        "none or a number from 1 to 4294967295"}},
      {"lockout_after", {Number(&SimProfile::lockoutAfter), "a count (0: never)"}},
      {"power",
       {[](const std::string& s, SimProfile* p) {
          static const std::map<std::string, PowerPreset> presets = {
              {"mains", {1, 1}}, {"battery", {0, 1}}, {"low", {0, 2}}, {"critical", {0, 4}}};
          auto it = presets.find(s);
          if (it == presets.end()) return false;
          p->acLineStatus = it->second.ac;
          p->batteryFlag = it->second.battery;
          return true;
        },
        "mains, battery, low or critical"}},
      {"ac_line_status", {Byte(&SimProfile::acLineStatus), "a byte (0 to 0xFF)"}},
      {"battery_flag", {Byte(&SimProfile::batteryFlag), "a byte (0 to 0xFF)"}},
      {"shutdown_privilege", {Flag(&SimProfile::shutdownPrivilege), "yes or no"}},
      {"shutdown_refused", {Flag(&SimProfile::shutdownRefused), "yes or no"}},
      {"discovery_fault",
       {Choice<DiscoveryFault>(&SimProfile::discoveryFault,
                               {{"none", DiscoveryFault::kNone},
                                {"class_devices", DiscoveryFault::kClassDevices},
                                {"interface", DiscoveryFault::kInterface},
                                {"removed", DiscoveryFault::kRemoved},
                                {"detail", DiscoveryFault::kDetail},
                                {"open", DiscoveryFault::kOpen}}),
        "none, class_devices, interface, removed, detail or open"}},
      {"unanswered_calls", {Number(&SimProfile::unansweredCalls), "a count"}},
      {"connect_refusal", {Text(&SimProfile::connectRefusal), "a text"}},
      {"disconnect_refusal", {Text(&SimProfile::disconnectRefusal), "a text"}},
      {"connect_without_data", {Flag(&SimProfile::connectWithoutData), "yes or no"}},
      {"read_fails_at", {Offsets(&SimProfile::readFailsAt), "part offsets"}},
      {"erase_fails_at", {Offsets(&SimProfile::eraseFailsAt), "part offsets"}},
      {"program_fails_at", {Offsets(&SimProfile::programFailsAt), "part offsets"}},
      {"stuck_high",
       {[](const std::string& s, SimProfile* p) { return ParseStuck(s, true, &p->stuckBits); },
        "OFFSET:MASK with a non-zero mask"}},
      {"stuck_low",
       {[](const std::string& s, SimProfile* p) { return ParseStuck(s, false, &p->stuckBits); },
        "OFFSET:MASK with a non-zero mask"}},
      {"once_flash_fails",
       {Choice<OnceFlashFault>(&SimProfile::onceFlashFault, {{"none", OnceFlashFault::kNone},
                                                             {"program", OnceFlashFault::kProgram},
                                                             {"erase", OnceFlashFault::kErase}}),
        "none, program or erase"}},
      {"kernel_memory_limit", {Number(&SimProfile::kernelMemoryLimit), "a byte count"}},
      {"silent_read_at", {Offsets(&SimProfile::silentReadAt), "part offsets"}},
      {"short_bulk_reads_after", {Number(&SimProfile::shortBulkReadsAfter), "a count"}},
      {"allocation_refused_after", {Number(&SimProfile::allocationRefusedAfter), "a count"}},
      {"bulk_write_refused_after", {Number(&SimProfile::bulkWriteRefusedAfter), "a count"}},
      {"programmed_but_not_written_at",
       {Offsets(&SimProfile::programmedButNotWrittenAt), "part offsets"}},
      {"segment_read_fails_at", {Offsets(&SimProfile::segmentReadFailsAt), "segment offsets"}},
      {"cut_at_call", {Number(&SimProfile::cutAtCall), "a call number (0: never)"}},
  };
  return rules;
}

}  // namespace

bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty()) return false;
  int base = 10;
  size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  uint64_t v = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (v > 0xFFFFFFFFull) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

bool ApplyProfileSetting(const std::string& key, const std::string& value, SimProfile* profile,
                         std::string* error) {
  auto it = Rules().find(key);
  if (it == Rules().end()) {
    *error = "unknown key '" + key + "'";
    return false;
  }
  if (!it->second.set(value, profile)) {
    *error = "key '" + key + "': '" + value + "' is not " + it->second.expects;
    return false;
  }
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool ParseProfile(const std::string& text, SimProfile* profile, std::string* error) {
  int lineNumber = 0;
  for (const std::string& line : Lines(text)) {
    std::string t = Trim(line);
    ++lineNumber;
    if (t.empty() || t[0] == '#') continue;
    size_t eq = t.find('=');
    std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (eq == std::string::npos) {
      *error = where + "'" + t + "' is not of the form key = value";
      return false;
    }
    std::string key = Trim(t.substr(0, eq));
    std::string reason;
    if (!ApplyProfileSetting(key, Trim(t.substr(eq + 1)), profile, &reason)) {
      *error = where + reason;
      return false;
    }
  }
  return true;
}

}  // namespace ql::sim
