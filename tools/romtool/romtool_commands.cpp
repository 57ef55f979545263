#include "tools/romtool/romtool_commands.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <sstream>

#include "sim/rom_builder.h"
#include "sim/sim_machine.h"
#include "sim/sim_profile.h"

namespace ql::romtool {
namespace {

using sim::ApplyProfileSetting;
using sim::BuildRom;
using sim::CreateMachineFolder;
using sim::DmiStringInfo;
using sim::InspectRom;
using sim::kDmiStringNames;
using sim::ParseNumber;
using sim::ParseUuid;
using sim::RomInfo;
using sim::RomSpec;
using sim::SimProfile;
using sim::UuidText;

inline constexpr int kDone = 0;
inline constexpr int kFileError = 1;
inline constexpr int kUsageError = 2;

const char* kUsage =
    "usage: romtool make IMAGE [--option value ...]\n"
    "       romtool show IMAGE\n"
    "       romtool machine IMAGE FOLDER [key=value ...]\n"
    "       romtool demo FOLDER\n"
    "make options: --size-kb N --platform ID --date MM/DD/YY --time HH:MM[:SS]\n"
    "  --dmi-segment N --layout N --dmi-version MAJOR.MINOR --uuid TEXT|none|settable\n"
    "  --no-uuid-field --port N --value N --seed N --no-dmi --no-fex\n"
    "  --serial S --manufacturer S --product S --version S --system-serial S --chassis-serial S\n"
    "numbers are decimal or 0x-prefixed hexadecimal\n";

std::string Hex(uint32_t v, int width) {
  std::ostringstream s;
  s << "0x" << std::uppercase << std::hex << std::setw(width) << std::setfill('0') << v;
  return s.str();
}

bool ReadImage(const std::string& path, std::vector<uint8_t>* image) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  image->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteImage(const std::string& path, const std::vector<uint8_t>& image) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out.flush());
}

template <typename T>
bool NumberInto(const std::string& s, T* field, uint32_t max) {
  uint32_t v = 0;
  if (!ParseNumber(s, &v) || v > max) return false;
  *field = static_cast<T>(v);
  return true;
}

using OptionSetter = std::function<bool(const std::string&, RomSpec*)>;

struct MakeOption {
  bool takesValue;
  OptionSetter set;
};

const std::map<std::string, MakeOption>& MakeOptions() {
  static const std::map<std::string, MakeOption> options = [] {
    std::map<std::string, MakeOption> o = {
        {"--size-kb",
         {true,
          [](const std::string& s, RomSpec* r) { return NumberInto(s, &r->sizeKb, 0xFFFF); }}},
        {"--platform",
         {true,
          [](const std::string& s, RomSpec* r) {
            r->platformId = s;
            return true;
          }}},
        {"--date",
         {true,
          [](const std::string& s, RomSpec* r) {
            r->buildDate = s;
            return true;
          }}},
        {"--time",
         {true,
          [](const std::string& s, RomSpec* r) {
            r->buildTime = s;
            return true;
          }}},
        {"--dmi-segment",
         {true,
          [](const std::string& s, RomSpec* r) { return NumberInto(s, &r->dmiSegment, 0xFFFF); }}},
        {"--layout",
         {true,
          [](const std::string& s, RomSpec* r) { return NumberInto(s, &r->layoutWord, 0xFFFF); }}},
        {"--dmi-version",
         {true,
          [](const std::string& s, RomSpec* r) {
            size_t dot = s.find('.');
            return dot != std::string::npos && NumberInto(s.substr(0, dot), &r->dmiMajor, 0xFF) &&
                   NumberInto(s.substr(dot + 1), &r->dmiMinor, 0xFF);
          }}},
        {"--uuid", {true, [](const std::string& s, RomSpec* r) { return ParseUuid(s, &r->uuid); }}},
        {"--no-uuid-field",
         {false,
          [](const std::string&, RomSpec* r) {
            r->hasUuidField = false;
            return true;
          }}},
        {"--port",
         {true, [](const std::string& s,
                   RomSpec* r) { return NumberInto(s, &r->triggerPort, 0xFFFFFFFFu); }}},
        {"--value",
         {true,
          [](const std::string& s, RomSpec* r) { return NumberInto(s, &r->triggerValue, 0xFF); }}},
        {"--seed",
         {true, [](const std::string& s,
                   RomSpec* r) { return NumberInto(s, &r->fillSeed, 0xFFFFFFFFu); }}},
        {"--no-dmi",
         {false,
          [](const std::string&, RomSpec* r) {
            r->withDmi = false;
            return true;
          }}},
        {"--no-fex",
         {false,
          [](const std::string&, RomSpec* r) {
            r->withFex = false;
            return true;
          }}},
    };
    for (uint32_t i = 0; i < kDmiStringCount; ++i) {
      o[std::string("--") + kDmiStringNames[i]] = {true, [i](const std::string& s, RomSpec* r) {
                                                     r->dmi[i] = s;
                                                     return true;
                                                   }};
    }
    return o;
  }();
  return options;
}

int Make(Files&, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) {
    err << "romtool make: the IMAGE argument is missing\n" << kUsage;
    return kUsageError;
  }
  RomSpec spec;
  for (size_t i = 2; i < args.size(); ++i) {
    auto it = MakeOptions().find(args[i]);
    if (it == MakeOptions().end()) {
      err << "romtool make: unknown option '" << args[i] << "'\n" << kUsage;
      return kUsageError;
    }
    std::string value;
    if (it->second.takesValue) {
      if (i + 1 >= args.size()) {
        err << "romtool make: " << args[i] << ": a value is missing\n";
        return kUsageError;
      }
      value = args[++i];
    }
    if (!it->second.set(value, &spec)) {
      err << "romtool make: " << it->first << ": '" << value << "' is not a valid value\n";
      return kUsageError;
    }
  }
  std::vector<uint8_t> image;
  std::string error;
  if (!BuildRom(spec, &image, &error)) {
    err << "romtool make: --" << error << "\n";
    return kUsageError;
  }
  if (!WriteImage(args[1], image)) {
    err << "romtool make: " << args[1] << ": cannot be written\n";
    return kFileError;
  }
  out << "wrote " << args[1] << " (" << spec.sizeKb << " KiB)\n";
  return kDone;
}

void PrintString(std::ostream& out, const char* name, const DmiStringInfo& s) {
  out << "  " << std::left << std::setw(15) << name << std::right << Hex(s.offset, 4);
  if (!s.inside) {
    out << "  outside the image\n";
    return;
  }
  out << "  \"" << s.text << "\"  length " << static_cast<int>(s.length) << ", terminator "
      << Hex(s.terminator, 2) << ", balance " << Hex(s.balance, 2) << ", unit sum "
      << Hex(s.unitSum, 2) << "\n";
}

int Show(Files&, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "romtool show: exactly one IMAGE argument is needed\n" << kUsage;
    return kUsageError;
  }
  std::vector<uint8_t> image;
  if (!ReadImage(args[1], &image)) {
    err << "romtool show: " << args[1] << ": cannot be read\n";
    return kFileError;
  }
  RomInfo r = InspectRom(image);
  out << "image           " << args[1] << ", " << r.size << " bytes\n";
  out << "byte sum        " << Hex(r.byteSum, 2) << "\n";
  if (r.sysAt < 0) {
    out << "BCPSYS          not found\n";
  } else {
    out << "BCPSYS          at " << Hex(static_cast<uint32_t>(r.sysAt), 8) << "\n"
        << "  platform      \"" << r.platformId << "\"\n"
        << "  build date    \"" << r.buildDate << "\"\n"
        << "  build time    \"" << r.buildTime << "\"\n"
        << "  dmi segment   " << Hex(r.dmiSegment, 4) << "\n"
        << "  rom size      " << r.romSizeKb << " KiB\n"
        << "  layout word   " << Hex(r.layoutWord, 4) << "\n";
  }
  if (r.fexAt < 0) {
    out << "BCPFEX          not found in the last 64 KiB\n";
  } else {
    out << "BCPFEX          at " << Hex(static_cast<uint32_t>(r.fexAt), 8) << "\n"
        << "  trigger port  " << Hex(r.triggerPort, 4) << "\n"
        << "  trigger value " << Hex(r.triggerValue, 2) << "\n";
  }
  if (r.dmiAt < 0) {
    out << "BCPDMI          not found\n";
    return kDone;
  }
  out << "BCPDMI          at " << Hex(static_cast<uint32_t>(r.dmiAt), 8) << ", version "
      << static_cast<int>(r.dmiMajor) << "." << static_cast<int>(r.dmiMinor) << "\n";
  for (uint32_t i = 0; i < kDmiStringCount; ++i) PrintString(out, kDmiStringNames[i], r.dmi[i]);
  if (!r.hasUuidField) {
    out << "  uuid           no UUID field in this version\n";
  } else if (!r.uuidInside) {
    out << "  uuid           " << Hex(r.uuidOffset, 4) << "  outside the image\n";
  } else {
    out << "  uuid           " << Hex(r.uuidOffset, 4) << "  " << UuidText(r.uuid) << ", balance "
        << Hex(r.uuidBalance, 2) << ", field sum " << Hex(r.uuidSum, 2) << "\n";
  }
  return kDone;
}

// The profile a new machine gets: every key, commented out at its default.
std::string ProfileTemplate() {
  return "# A simulated machine. Every key is optional; the values shown are the defaults.\n"
         "# See docs/simulated-machine.md.\n"
         "# part_code = 0xBF\n"
         "# part_supported = yes\n"
         "# block_size = 0x10000\n"
         "# block = SIZE OFFSET LINEAR|auto ATTRIB    (repeat; replaces the uniform table)\n"
         "# erase_ms = 0\n"
         "# program_ms = 0\n"
         "# read_ms = 0\n"
         "# password = none\n"
         "# lockout_after = 3\n"
         "# power = mains\n"
         "# shutdown_privilege = yes\n"
         "# discovery_fault = none\n"
         "# unanswered_calls = 0\n"
         "# connect_refusal =\n"
         "# disconnect_refusal =\n"
         "# connect_without_data = no\n"
         "# read_fails_at = OFFSET, ...\n"
         "# erase_fails_at = OFFSET, ...\n"
         "# stuck_high = OFFSET:MASK\n"
         "# stuck_low = OFFSET:MASK\n"
         "# once_flash_fails = none\n"
         "# kernel_memory_limit = 67108864\n";
}

int Machine(Files& files, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err) {
  if (args.size() < 3) {
    err << "romtool machine: IMAGE and FOLDER are needed\n" << kUsage;
    return kUsageError;
  }
  std::vector<uint8_t> image;
  if (!ReadImage(args[1], &image)) {
    err << "romtool machine: " << args[1] << ": cannot be read\n";
    return kFileError;
  }
  std::string profile = ProfileTemplate();
  SimProfile check;
  for (size_t i = 3; i < args.size(); ++i) {
    size_t eq = args[i].find('=');
    std::string error;
    if (eq == std::string::npos) {
      err << "romtool machine: '" << args[i] << "' is not key=value\n";
      return kUsageError;
    }
    if (!ApplyProfileSetting(args[i].substr(0, eq), args[i].substr(eq + 1), &check, &error)) {
      err << "romtool machine: " << error << "\n";
      return kUsageError;
    }
    profile += args[i].substr(0, eq) + " = " + args[i].substr(eq + 1) + "\n";
  }
  std::string error;
  if (!CreateMachineFolder(files, args[2], image, profile, &error)) {
    err << "romtool machine: " << error << "\n";
    return kUsageError;
  }
  out << "made machine " << args[2] << " from " << args[1] << "\n";
  return kDone;
}

// The installed BIOS and a newer build for the same platform: same size and layout, a later date
// and other DMI strings, so that carrying the machine's strings over shows.
RomSpec InstalledSpec() {
  RomSpec s;
  s.dmi = {"QS0512-77831", "Quorrel Systems", "Brimlet 845",
           "Rev A1",       "BR845-0001234",   "CH845-0009876"};
  std::string uuid = "QRL-7F3A-0001";
  ParseUuid(uuid, &s.uuid);
  s.fillSeed = 1;
  return s;
}

RomSpec NewerSpec() {
  RomSpec s = InstalledSpec();
  s.buildDate = "08/22/05";
  s.buildTime = "14:05:00";
  s.dmi = {"To be filled", "System Maker Co", "Product XYZ",
           "Rev XX",       "Serial-000000",   "Chassis-00000"};
  s.uuid.fill(0xFF);
  s.fillSeed = 2;
  return s;
}

int Demo(Files& files, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "romtool demo: exactly one FOLDER argument is needed\n" << kUsage;
    return kUsageError;
  }
  const std::string& dir = args[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::vector<uint8_t> installed, newer;
  std::string error;
  if (ec || !BuildRom(InstalledSpec(), &installed, &error) ||
      !BuildRom(NewerSpec(), &newer, &error)) {
    err << "romtool demo: " << dir << ": cannot be made " << error << "\n";
    return kFileError;
  }
  std::string machine = dir + "/machine";
  if (!WriteImage(dir + "/installed.rom", installed) || !WriteImage(dir + "/newer.rom", newer) ||
      !CreateMachineFolder(files, machine, installed, ProfileTemplate(), &error)) {
    err << "romtool demo: " << dir << ": cannot be written " << error << "\n";
    return kFileError;
  }
  out << "made " << machine << " (running installed.rom), " << dir << "/installed.rom and " << dir
      << "/newer.rom\n";
  return kDone;
}

}  // namespace

int RunRomtool(Files& files, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  static const std::map<std::string, std::function<int(Files&, const std::vector<std::string>&,
                                                       std::ostream&, std::ostream&)>>
      commands = {{"make", Make}, {"show", Show}, {"machine", Machine}, {"demo", Demo}};
  if (args.empty()) {
    err << "romtool: a command is missing\n" << kUsage;
    return kUsageError;
  }
  if (args[0] == "help" || args[0] == "--help") {
    out << kUsage;
    return kDone;
  }
  auto it = commands.find(args[0]);
  if (it == commands.end()) {
    err << "romtool: unknown command '" << args[0] << "'\n" << kUsage;
    return kUsageError;
  }
  return it->second(files, args, out, err);
}

}  // namespace ql::romtool
