#include "sim/rom_builder.h"

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"
#include "sim/sim_machine.h"

namespace ql::sim {
namespace {

uint8_t Sum(const uint8_t* p, size_t n) {
  uint8_t s = 0;
  for (size_t i = 0; i < n; ++i) s = static_cast<uint8_t>(s + p[i]);
  return s;
}

bool Digits(const std::string& s, std::initializer_list<size_t> at) {
  return std::all_of(at.begin(), at.end(), [&](size_t i) { return s[i] >= '0' && s[i] <= '9'; });
}

// "MM/DD/YY" with a real month and day.
bool ValidDate(const std::string& s) {
  if (s.size() != 8 || s[2] != '/' || s[5] != '/' || !Digits(s, {0, 1, 3, 4, 6, 7})) return false;
  int month = (s[0] - '0') * 10 + (s[1] - '0');
  int day = (s[3] - '0') * 10 + (s[4] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// "HH:MM" or "HH:MM:SS".
bool ValidTime(const std::string& s) {
  if (s.size() != 5 && s.size() != 8) return false;
  if (s[2] != ':' || !Digits(s, {0, 1, 3, 4})) return false;
  if (s.size() == 8 && (s[5] != ':' || !Digits(s, {6, 7}))) return false;
  return (s[0] - '0') * 10 + (s[1] - '0') < 24 && (s[3] - '0') * 10 + (s[4] - '0') < 60;
}

void PutText(uint8_t* at, const std::string& text, size_t width) {
  std::memset(at, 0, width);
  std::memcpy(at, text.data(), std::min(text.size(), width));
}

std::string TextAt(const uint8_t* at, size_t width) {
  size_t n = 0;
  while (n < width && at[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(at), n);
}

// The last place in the image where the signature starts, or -1.
int64_t FindLast(const std::vector<uint8_t>& image, const uint8_t* sig, size_t from = 0) {
  if (image.size() < from + kSignatureLength) return -1;
  for (size_t start = image.size() - kSignatureLength + 1; start-- > from;) {
    if (std::memcmp(image.data() + start, sig, kSignatureLength) == 0) {
      return static_cast<int64_t>(start);
    }
  }
  return -1;
}

uint32_t DmiBytesNeeded(const RomSpec& spec) {
  uint32_t n = 0;
  for (const std::string& s : spec.dmi) {
    n += dmifield::kLengthBefore + static_cast<uint32_t>(s.size()) + dmifield::kTrailer;
  }
  return n + (spec.hasUuidField ? bcpdmi::kUuidFieldLength : 0);
}

}  // namespace

bool BuildRom(const RomSpec& spec, std::vector<uint8_t>* image, std::string* error) {
  uint64_t size = static_cast<uint64_t>(spec.sizeKb) * 1024;
  if (!IsSupportedPartSize(size)) {
    *error = "size-kb: " + std::to_string(spec.sizeKb) +
             " KiB is not a supported ROM size (a multiple of 64 from 64 to 32768)";
    return false;
  }
  if (spec.platformId.empty() || spec.platformId.size() > bcpsys::kPlatformIdLength) {
    *error = "platform: '" + spec.platformId + "' must have 1 to 9 characters";
    return false;
  }
  if (!ValidDate(spec.buildDate)) {
    *error = "date: '" + spec.buildDate + "' is not MM/DD/YY";
    return false;
  }
  if (!ValidTime(spec.buildTime)) {
    *error = "time: '" + spec.buildTime + "' is not HH:MM or HH:MM:SS";
    return false;
  }
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    const std::string& s = spec.dmi[i];
    if (s.size() > kMaxDmiStringLength || s.find('\0') != std::string::npos) {
      *error = std::string(kDmiStringNames[i]) + ": at most " +
               std::to_string(kMaxDmiStringLength) + " characters, none of them NUL";
      return false;
    }
  }
  uint32_t romSize = static_cast<uint32_t>(size);
  uint32_t segment = romSize - kBiosSegmentLength;
  // Modulo 2^32 as the tool always worked it out: a base before the image wraps past its end and
  // is refused below as not inside.
  uint32_t dmiBase =
      static_cast<uint32_t>(DmiSegmentBase(static_cast<uint16_t>(spec.sizeKb), spec.dmiSegment));
  uint64_t stringsAt = static_cast<uint64_t>(dmiBase) + kDmiStringsSegmentOffset;
  uint64_t stringsEnd = stringsAt + DmiBytesNeeded(spec);
  bool overlapsBlocks =
      stringsAt < segment + kDmiStringsSegmentOffset && stringsEnd > segment + kFexSegmentOffset;
  if (spec.withDmi && (stringsEnd > romSize || overlapsBlocks)) {
    *error = "dmi-segment: the DMI strings of segment " + std::to_string(spec.dmiSegment) +
             " would not lie inside the image apart from the blocks";
    return false;
  }

  std::vector<uint8_t>& rom = *image;
  rom.assign(romSize, 0);
  // Code-like filler, different for every seed, so that stale bytes never pass for new ones.
  uint32_t x = spec.fillSeed * 2654435761u + 12345u;
  for (uint8_t& b : rom) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }

  uint8_t* sys = rom.data() + segment + kSysSegmentOffset;
  std::memset(sys, 0, bcpsys::kSize);
  std::memcpy(sys, kBcpSysSignature, kSignatureLength);
  PutText(sys + bcpsys::kBuildDate, spec.buildDate, bcpsys::kDateTimeFieldLength);
  PutText(sys + bcpsys::kBuildTime, spec.buildTime, bcpsys::kDateTimeFieldLength);
  PutText(sys + bcpsys::kPlatformId, spec.platformId, bcpsys::kPlatformIdLength);
  PutLe16(sys + bcpsys::kDmiSegment, spec.dmiSegment);
  PutLe16(sys + bcpsys::kRomSizeKb, static_cast<uint16_t>(spec.sizeKb));
  PutLe16(sys + bcpsys::kLayoutWord, spec.layoutWord);

  if (spec.withFex) {
    uint8_t* fex = rom.data() + segment + kFexSegmentOffset;
    std::memset(fex, 0, bcpfex::kSize);
    std::memcpy(fex, kBcpFexSignature, kSignatureLength);
    PutLe32(fex + bcpfex::kTriggerPort, spec.triggerPort);
    fex[bcpfex::kTriggerValue] = spec.triggerValue;
  }

  if (spec.withDmi) {
    uint8_t* dmi = rom.data() + segment + kDmiSegmentOffset;
    std::memset(dmi, 0, bcpdmi::kHeaderSize);
    std::memcpy(dmi, kBcpDmiSignature, kSignatureLength);
    dmi[bcpdmi::kMajorVersion] = spec.dmiMajor;
    dmi[bcpdmi::kMinorVersion] = spec.dmiMinor;
    uint32_t o = kDmiStringsSegmentOffset;
    for (uint32_t i = 0; i < kDmiStringCount; ++i) {
      const std::string& s = spec.dmi[i];
      uint32_t chars = o + dmifield::kLengthBefore;
      uint8_t* field = rom.data() + dmiBase + o;
      uint8_t length = static_cast<uint8_t>(s.size());
      field[0] = length;
      std::memcpy(field + 1, s.data(), length);
      field[1 + length] = 0;
      field[2 + length] = static_cast<uint8_t>(-Sum(field + 1, length));
      PutLe16(dmi + kDmiStringOffsetField[i], static_cast<uint16_t>(chars));
      o = chars + length + dmifield::kTrailer;
    }
    if (spec.hasUuidField) {
      uint8_t* field = rom.data() + dmiBase + o;
      std::memcpy(field, spec.uuid.data(), bcpdmi::kUuidLength);
      field[bcpdmi::kUuidLength] = static_cast<uint8_t>(-Sum(field, bcpdmi::kUuidLength));
      PutLe16(dmi + bcpdmi::kUuidOffset, static_cast<uint16_t>(o));
    }
  }
  sys[bcpsys::kImageChecksum] = static_cast<uint8_t>(-Sum(rom.data(), rom.size()));
  return true;
}

RomInfo InspectRom(const std::vector<uint8_t>& image) {
  RomInfo info;
  info.size = static_cast<uint32_t>(image.size());
  info.byteSum = Sum(image.data(), image.size());
  info.sysAt = FindLast(image, kBcpSysSignature);
  info.dmiAt = FindLast(image, kBcpDmiSignature);
  if (image.size() >= kBiosSegmentLength) {
    std::vector<uint8_t> segment(image.end() - kBiosSegmentLength, image.end());
    BiosTrigger t = FindBiosTrigger(segment);
    if (t.present) {
      auto at = std::search(segment.begin(), segment.end(), std::begin(kBcpFexSignature),
                            std::end(kBcpFexSignature));
      info.fexAt = static_cast<int64_t>(image.size() - kBiosSegmentLength) + (at - segment.begin());
      info.triggerPort = t.port;
      info.triggerValue = t.value;
    }
  }
  if (info.sysAt >= 0 && static_cast<uint64_t>(info.sysAt) + bcpsys::kSize <= image.size()) {
    const uint8_t* sys = image.data() + info.sysAt;
    info.buildDate = TextAt(sys + bcpsys::kBuildDate, bcpsys::kDateTimeFieldLength);
    info.buildTime = TextAt(sys + bcpsys::kBuildTime, bcpsys::kDateTimeFieldLength);
    info.platformId = TextAt(sys + bcpsys::kPlatformId, bcpsys::kPlatformIdLength);
    info.dmiSegment = GetLe16(sys + bcpsys::kDmiSegment);
    info.romSizeKb = GetLe16(sys + bcpsys::kRomSizeKb);
    info.layoutWord = GetLe16(sys + bcpsys::kLayoutWord);
  } else {
    info.sysAt = -1;
  }
  if (info.dmiAt < 0 || static_cast<uint64_t>(info.dmiAt) + bcpdmi::kHeaderSize > image.size()) {
    info.dmiAt = -1;
    return info;
  }
  const uint8_t* dmi = image.data() + info.dmiAt;
  info.dmiMajor = dmi[bcpdmi::kMajorVersion];
  info.dmiMinor = dmi[bcpdmi::kMinorVersion];
  uint32_t base = static_cast<uint32_t>(DmiSegmentBase(info.romSizeKb, info.dmiSegment));
  for (uint32_t i = 0; i < kDmiStringCount; ++i) {
    DmiStringInfo& s = info.dmi[i];
    s.offset = GetLe16(dmi + kDmiStringOffsetField[i]);
    s.imageOffset = base + s.offset;
    uint64_t start = static_cast<uint64_t>(s.imageOffset);
    if (s.offset == 0 || start == 0 || start > image.size()) continue;
    s.length = image[start - 1];
    if (start + s.length + dmifield::kTrailer > image.size()) continue;
    s.inside = true;
    s.text.assign(reinterpret_cast<const char*>(image.data() + start), s.length);
    s.terminator = image[start + s.length];
    s.balance = image[start + s.length + 1];
    s.unitSum = Sum(image.data() + start, s.length + dmifield::kTrailer);
  }
  info.hasUuidField =
      info.dmiMajor >= bcpdmi::kUuidMinMajor && info.dmiMinor >= bcpdmi::kUuidMinMinor;
  info.uuidOffset = GetLe16(dmi + bcpdmi::kUuidOffset);
  uint64_t u = static_cast<uint64_t>(base) + info.uuidOffset;
  if (info.hasUuidField && info.uuidOffset != 0 && u + bcpdmi::kUuidFieldLength <= image.size()) {
    info.uuidInside = true;
    std::memcpy(info.uuid.data(), image.data() + u, bcpdmi::kUuidLength);
    info.uuidBalance = image[u + bcpdmi::kUuidLength];
    info.uuidSum = Sum(image.data() + u, bcpdmi::kUuidFieldLength);
  }
  return info;
}

bool ParseUuid(const std::string& text, std::array<uint8_t, bcpdmi::kUuidLength>* uuid) {
  if (text == "none") return uuid->fill(0x00), true;
  if (text == "settable") return uuid->fill(0xFF), true;
  if (text.size() > bcpdmi::kUuidLength) return false;
  uuid->fill(0);
  std::memcpy(uuid->data(), text.data(), text.size());
  return true;
}

std::string UuidText(const std::array<uint8_t, bcpdmi::kUuidLength>& uuid) {
  auto all = [&](uint8_t v) {
    return std::all_of(uuid.begin(), uuid.end(), [v](uint8_t b) { return b == v; });
  };
  if (all(0x00)) return "none (16 x 00)";
  if (all(0xFF)) return "settable (16 x FF)";
  // Built by appending: GCC 12 at -O3 takes a quote + string + quote concatenation for an
  // overlapping copy (-Wrestrict) and a Release build would stop on it.
  std::string text(1, '"');
  text += TextAt(uuid.data(), uuid.size());
  text += '"';
  return text;
}

}  // namespace ql::sim
