#include "app/run_record.h"

#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "bios/bcp_layout.h"
#include "dmi/system_dmi.h"
#include "platform/json_writer.h"
#include "platform/sha256.h"
#include "resources/version.h"

namespace ql {
namespace {

// A fixed-length field of the ROM, up to its first NUL.
std::string_view FieldText(const void* field, size_t size) {
  const char* text = static_cast<const char*>(field);
  return {text, strnlen(text, size)};
}

std::string_view DmiText(const DmiStringCopy& copy) {
  return FieldText(copy.Text(), kDmiCopySize - 1);
}

std::string IsoTime(const UtcTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return text;
}

void WriteBiosBlock(JsonWriter& json, const BcpSysBlock& block) {
  json.String("date", FieldText(block.BuildDate, bcpsys::kDateTimeFieldLength))
      .String("time", FieldText(block.BuildTime, bcpsys::kDateTimeFieldLength))
      .String("platform", FieldText(block.PlatformId, bcpsys::kPlatformIdLength))
      .Number("size", block.RomBytes());
}

void WriteMachine(JsonWriter& json, const SystemDmiRecord& m) {
  json.BeginObject("machine").String("name", MachineFileName(m));
  for (const auto& [key, copy] : kNamedSystemStrings) json.String(key, DmiText(m.*copy));
  if (m.SystemUuidPresent) {
    json.String("uuid", HexDigits(m.Uuid, bcpdmi::kUuidLength));
  } else {
    json.Null("uuid");
  }
  json.EndObject();
}

void WriteBlocks(JsonWriter& json, const RunFacts& facts) {
  const FlashReport none;
  const FlashReport& report = facts.report != nullptr ? *facts.report : none;
  const JobCounts& c = report.counts;
  json.BeginObject("blocks")
      .Number("in_table", facts.table.size())
      .Number("compared", c.compared)
      .Number("already_held", c.alreadyHeld)
      .Number("erased", c.erased)
      .Number("programmed", c.programmed)
      .Number("verified", c.verified)
      .Number("retried", c.retried)
      .Number("put_back", c.putBack)
      .Number("bytes_programmed", c.bytesProgrammed);
  // The blocks a flash rewrites (a check-only run: would rewrite), as the table names them.
  json.BeginArray("differing");
  for (uint32_t index : report.differing) {
    if (index >= facts.table.size()) continue;
    const FlashBlockRecord& block = facts.table[index];
    json.BeginObject()
        .Number("index", index)
        .Number("file_offset", block.FileOffset)
        .Number("size", block.BlockSize)
        .EndObject();
  }
  json.EndArray().EndObject();
  json.BeginObject("ms")
      .Number("load", facts.times.load)
      .Number("backup", facts.times.backup)
      .Number("compare", report.ms.compare)
      .Number("erase", report.ms.erase)
      .Number("program", report.ms.program)
      .Number("verify", report.ms.verify)
      .Number("total", facts.totalMs)
      .EndObject();
}

}  // namespace

const char* RunOutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kFlashed:
      return "flashed";
    case RunOutcome::kFailedPutBack:
      return "failed_put_back";
    case RunOutcome::kFailedHoldsNeither:
      return "failed_holds_neither";
    case RunOutcome::kRefused:
      return "refused";
    case RunOutcome::kFatal:
      return "fatal";
    case RunOutcome::kChecked:
      return "checked";
    case RunOutcome::kCutShortFound:
      return "cut_short_found";
  }
  return "refused";
}

std::string RecordLine(const RunFacts& facts) {
  JsonWriter json;
  json.BeginObject()
      .Number("schema", kRecordSchema)
      .String("program", QL_VERSION_TEXT)
      .String("started", IsoTime(facts.started))
      .String("ended", IsoTime(facts.ended))
      .String("os_family", facts.osFamily == kWin98 ? "win98" : "win2000")
      .Bool("simulated", facts.simulated);
  const SystemDmiRecord noMachine;
  WriteMachine(json, facts.machine != nullptr ? *facts.machine : noMachine);
  if (facts.installed != nullptr) {
    WriteBiosBlock(json.BeginObject("installed"), *facts.installed);
    json.EndObject();
  } else {
    json.Null("installed");
  }
  if (facts.image != nullptr) {
    json.BeginObject("image")
        .String("file", facts.image->name)
        .String("sha256", facts.image->sha256);
    WriteBiosBlock(json, facts.image->block);
    json.Number("file_size", facts.image->size).EndObject();
  } else {
    json.Null("image");
  }
  json.BeginObject("options")
      .Bool("backup", facts.backup)
      .Bool("verify", facts.verify)
      .Bool("blank_check", facts.blankCheck)
      .EndObject();
  WriteBlocks(json, facts);
  json.String("outcome", RunOutcomeName(facts.outcome));
  if (facts.exitStatus >= 0) {
    json.Number("exit_status", static_cast<uint32_t>(facts.exitStatus));
  } else {
    json.Null("exit_status");
  }
  json.BeginArray("boxes");
  for (const std::string& box : facts.boxes) json.String(nullptr, box);
  json.EndArray().BeginArray("log");
  for (const std::string& line : facts.logLines) json.String(nullptr, line);
  json.EndArray().EndObject();
  return json.Text() + "\n";
}

bool AppendRecord(Files& files, const char* programDirectory, const SystemDmiRecord& machine,
                  const std::string& line) {
  const std::string folder = std::string(programDirectory) + "\\" + kRecordsFolderName;
  if (!files.CreateFolder(folder.c_str())) return false;
  const std::string path = folder + "\\" + MachineFileName(machine) + kRecordFileExtension;
  FileHandle file = files.Open(path.c_str(), FileMode::kAppendExisting);
  if (file == kInvalidFile) {
    // Made empty first, then opened for appending like every other time: a run that made it at
    // the same moment is not emptied.
    FileHandle made = files.Open(path.c_str(), FileMode::kCreateNew);
    if (made != kInvalidFile) files.Close(made);
    file = files.Open(path.c_str(), FileMode::kAppendExisting);
  }
  if (file == kInvalidFile) return false;
  uint32_t written = 0;
  const auto size = static_cast<uint32_t>(line.size());
  const bool appended =
      files.SeekToEnd(file) && files.Write(file, line.data(), size, &written) && written == size;
  files.Close(file);
  return appended;
}

}  // namespace ql
