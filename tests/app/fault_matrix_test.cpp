// Every fault the simulated machine can play, alone and in the pairs that matter, against every job
// the program runs, held to what a flasher owes its user whatever happens. What each cell showed
// and left is kept in bench/fault-matrix.md: a person reads it, this test holds the program to it.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "flash/backup.h"
#include "platform/bytes.h"
#include "support/program_fixture.h"
#include "support/records.h"

namespace ql::testing {
namespace {

constexpr uint32_t kBlock = 0x10000, kSegment = 0x70000, kPart = 0x80000;
// The piece the image with one block changed changes: the fourth of block 5.
constexpr uint32_t kChanged = 0x53000;
const std::string kAnswers[] = {"ok", "cancel", "abort", "retry", "ignore"};  // kIdOk, ...
const std::string kOwnKeys = "answer password_typed shutdown_box image backup_file running ";
// The images a flash job loads: one that differs from the installed BIOS in every block, the
// installed BIOS itself, and the installed BIOS with one block changed.
const std::string kImages[] = {"", " on installed", " on one changed"};
const std::string kRebuild =
    "QL_FAULT_MATRIX=bench/fault-matrix.md build/gcc/quorrelite_app_tests "
    "--gtest_filter=FaultMatrix.*";

// A block the BIOS keeps (Attrib 2), one flashed at once (Attrib 4), then six ordinary ones.
const std::string kTable =
    "block = 0x10000 0 auto 2 + block = 0x10000 0x10000 auto 4 + block = 0x10000 0x20000 auto 0 + "
    "block = 0x10000 0x30000 auto 0 + block = 0x10000 0x40000 auto 0 + block = 0x10000 0x50000 "
    "auto 0 + block = 0x10000 0x60000 auto 0 + block = 0x10000 0x70000 auto 0";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? "\\n" : c == '|' ? "\\|" : c == '\r' ? "" : std::string{c};
  return out;
}

class FaultMatrix : public ProgramTest {
 protected:
  // Runs `job` on a machine with `fault`: machine.txt settings joined by " + ", and these of the
  // test's own for what the person and the files do: answer (ok, cancel, abort, retry, ignore),
  // password_typed, shutdown_box, image, backup_file, running. Answers the cell's report columns.
  std::string RunCell(const std::string& fault, const std::string& job) {
    program.reset();
    desktop = ScriptedDesktop{};
    files.failOpen = files.failReadOpen = {};
    files.failWriteOnCall = 0;
    // A backup made earlier is there to be overwritten, and must survive whatever happens.
    TempFolder::WriteFile(backupPath_, earlier_);
    std::filesystem::remove(backupPath_ + ".new");
    std::filesystem::remove(ProgramFile("Logfile"));
    ForgetJournals();
    desktop.standingAnswers[kMsgOverwriteQuestion] = kIdOk;
    desktop.saveFileAnswers = {backupPath_};
    desktop.standingAnswers[kMsgSameDateQuestion] = kIdOk;
    const size_t image = job.find(kImages[2]) != std::string::npos   ? 2
                         : job.find(kImages[1]) != std::string::npos ? 1
                                                                     : 0;
    desktop.openFileAnswers = {imagePaths_[image]};
    sim::SimProfile profile;
    Bytes running = installed_;
    bool backupWriteFails = false;
    const std::string settings = kTable + " + " + fault + " + ";
    for (size_t at = 0, end; (end = settings.find(" + ", at)) != std::string::npos; at = end + 3) {
      const std::string line = settings.substr(at, end - at);
      const size_t is = line.find(" = ");
      if (is == std::string::npos) continue;
      const std::string key = line.substr(0, is), value = line.substr(is + 3);
      if (key == "answer")
        desktop.messageAnswers.push_back(std::find(kAnswers, kAnswers + 5, value) - kAnswers + 1);
      if (key == "password_typed") desktop.passwordAnswers.push_back(value);
      if (key == "shutdown_box") desktop.shutdownAnswers = {ShutdownBoxEnd::kNotShown};
      if (key == "image") files.failReadOpen.insert(imagePaths_[image]);
      if (value == "cancelled") desktop.saveFileAnswers = {std::nullopt};
      if (value == "uncreatable") files.failOpen = {backupPath_ + ".new"};
      if (key == "running") running = value == "without DMI places" ? noDmiPlaces_ : noServices_;
      backupWriteFails = backupWriteFails || value == "unwritable";
      std::string error;
      const bool own = kOwnKeys.find(key + " ") != std::string::npos;
      EXPECT_TRUE(own || sim::ApplyProfileSetting(key, value, &profile, &error)) << error;
    }
    UseMachine(profile, running);
    const Bytes before = Part();
    auto has = [&](const char* option) { return job.find(option) != std::string::npos; };
    const bool flash = has("flash"), factory = job[0] == '/', backupOnly = job == "backup",
               dmiOnly = job == "DMI only", verify = has("+verify") || (!flash && !has("-verify"));
    TempFolder::WriteFile(ProgramFile("brimlet.ini"),
                          {has("+backup"), verify, has("+blank") || !flash, 1});
    const std::optional<int> ended = ExitStatusOf([&] {
      Run(factory ? "/M " + imagePaths_[image] : "");
      if (backupWriteFails) files.failWriteOnCall = files.writes + 2;
      if (flash) program->LoadCommand(nullptr);
      if (dmiOnly) {
        DmiFieldTexts shown,
            typed{"Acme Systems Co", "AC-900", "Rev 2.0", "SYS-1234567", "UUID-OF-THE-ROM!"};
        program->ShowDmiForMode(DmiModeValue::NewStrings, &shown);
        program->ConfirmDmiSettings(typed);
      }
      if (backupOnly) return program->BackupCommand(nullptr);
      if (!factory || program->FirstPaint(nullptr)) program->FlashCommand(nullptr);
    });

    // What the job meant to write, from the part as it was (bits stuck in it too), and from where.
    Bytes target = dmiOnly || backupOnly ? before : images_[image], backup = before;
    for (uint32_t n = kSegment; n < kPart && dmiOnly; ++n) {
      if (typed_[n] != installed_[n]) target[n] = typed_[n];
    }
    std::copy_n(before.begin(), kBlock, target.begin());
    std::fill_n(backup.begin(), kBlock, 0xFF);  // the block no flash reaches is not read
    const uint32_t from = backupOnly ? kPart : dmiOnly ? kSegment : kBlock;
    const std::optional<int> status = ended || !factory ? ended : program->ExitStatus();
    bool claimed = !desktop.shutdownBoxes.empty() || (factory && (status == 0 || status == 4));
    std::string boxes, refusal;
    // The third way a cell may end: the program says the part holds neither BIOS, and it does not.
    bool saysNeither = status == static_cast<int>(ManufacturingOutcome::kHoldsNeither);
    for (const MessageRecord& m : desktop.messages) {
      claimed = claimed || m.text == kMsgFlashSucceeded;
      saysNeither = saysNeither || m.text == kMsgHoldsNeither;
      for (const char* says :
           {"othing was flashed", "not flashed", "didn't process", "didn't read"}) {
        if (m.text.find(says) != std::string::npos) refusal = m.text;
      }
      char style[16];
      std::snprintf(style, sizeof style, "\" 0x%X", m.style);
      boxes += (boxes.empty() ? "\"" : "; \"") + Escaped(m.text) + style +
               (m.caption == kProgramName ? "" : " [" + m.caption + "]");
    }
    const Bytes kept = TempFolder::ReadFile(backupPath_);
    const bool backedUp = kept == backup, fatal = ended == kExitFatal;
    // Only a read-back sees what a part takes wrongly without a word; the verify is that read-back.
    const bool unseeable = !verify && profile.SilentWriteFaults();
    const bool unverified = claimed && unseeable;

    std::string outcome = fatal ? "fatal" : claimed ? "success" : "failed";
    if (!fatal && !claimed && Part() == before && sim->Bios().Tally().erases == 0) {
      outcome = backupOnly && backedUp ? "backup written" : "refused";
    }
    if (desktop.skinReleases > 0) outcome += ", skin released";
    if (!ended && program->RunOver()) outcome += ", ends itself";
    for (uint32_t flags : sim->ShutdownRequests())
      outcome += flags == kEwxReboot ? ", restart" : ", power off";

    EXPECT_TRUE(!claimed || unverified || Part() == target) << "a success that is not one";
    // A part the program cannot read back may be said to hold neither when it holds one: it could
    // not be proven, and saying less would let the machine be switched off.
    const bool between = Part() != before && Part() != target;
    const std::string log = TempFolder::ReadText(ProgramFile("Logfile"));
    saysNeither = saysNeither || log.find(kLogHoldsNeither) != std::string::npos;
    EXPECT_TRUE(unseeable || !between || saysNeither) << "neither BIOS, and not said";
    if (saysNeither) outcome += between ? ", holds neither" : ", says it holds neither";
    // The line's record of the run: one, and it says what the cell saw.
    std::string record, said;
    for (const auto& file : std::filesystem::directory_iterator(folder.Path())) {
      if (file.path().filename().string().rfind("prog\\records\\", 0) != 0) continue;
      record += TempFolder::ReadText(file.path().string());
      std::filesystem::remove(file.path());
    }
    if (factory) {
      EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;
      const size_t at = record.find("\"outcome\":\"") + 11;
      said = record.substr(at, record.find('"', at) - at);
      EXPECT_EQ(said == "fatal", fatal);
      EXPECT_EQ(said == "flashed", claimed && !fatal);
      EXPECT_EQ(said == "failed_holds_neither", saysNeither && !fatal);
      EXPECT_TRUE(said != "refused" || outcome.starts_with("refused")) << record;
      records_ += record;
      said_.push_back({said, status ? std::to_string(*status) : "null"});
    }
    EXPECT_TRUE(backedUp || kept == earlier_) << "the earlier backup lost or a wrong backup";
    EXPECT_FALSE(std::filesystem::exists(backupPath_ + ".new"));
    if (!refusal.empty() || backupOnly) {  // a job that says it wrote nothing wrote nothing
      EXPECT_EQ(sim->Bios().Tally().erases, 0u) << refusal;
      EXPECT_TRUE(Part() == before) << refusal;
    }
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + from, Part().begin())) << "outside";
    if (fatal) {  // a fatal end gives back what the driver holds for the run
      EXPECT_EQ(sim->Memory().KernelBytesInUse() + sim->Memory().MappingCount(), 0u);
      EXPECT_EQ(sim->OpenDeviceSets(), 0);
    } else if (!ended) {
      EXPECT_FALSE(sim->Bios().SessionOpen());
      const BlockMapCells& cells = program->progress().BlockMap();
      EXPECT_EQ(std::count(cells.begin(), cells.end(), CellState::kUntouched), kBlockMapCells);
      // The part no longer holds the BIOS that runs: nothing may pass for a backup of it.
      EXPECT_TRUE(!claimed || !desktop.enabled[Control::kBackup]);
      program->ExitCommand(nullptr);
      EXPECT_EQ(files.openHandles, 0);
      EXPECT_TRUE(!sim->IsRunning() || sim->Memory().KernelBytesInUse() == 0);
    }

    std::string part = Part() == before ? "as before" : "as meant";
    if (Part() != before && Part() != target) {
      const uint8_t *now = Part().data(), *meant = target.data();
      const int off =
          std::inner_product(now, now + kPart, meant, 0, std::plus<>(), std::not_equal_to<>());
      part = std::to_string(off) + " bytes not as meant";
    }
    const sim::SimTally& tally = sim->Bios().Tally();
    return " | " + outcome + (unverified ? " (UNVERIFIED)" : "") + " | " +
           (status ? std::to_string(*status) : "-") + " | " + part + (backedUp ? ", backup" : "") +
           " | " + std::to_string(tally.erases) + " | " +
           std::to_string(tally.bytesProgrammed / 1024) + " | " +
           (program ? std::to_string(program->report().counts.retried) + " | " +
                          std::to_string(program->report().counts.putBack)
                    : "- | -") +
           " | " + boxes + (factory ? " log \"" + Escaped(log) + "\" record " + said : "") + " |\n";
  }

  // The installed BIOS has erased padding in blocks 4 and 5 but for the second half of one piece,
  // which the image with one block changed erases too: a read that hands back nothing of that
  // piece, or only its first half, leaves the receive buffer holding what the image wants there.
  const Bytes installed_ = [] {
    Bytes image = BuildImage();
    std::fill(image.begin() + 4 * kBlock, image.begin() + 6 * kBlock, 0xFF);
    std::fill(image.begin() + kChanged + kTransferSize / 2,
              image.begin() + kChanged + kTransferSize, 0x5A);
    return image;
  }();
  const Bytes newer_ = BuildImage({.buildDate = "06/01/06", .fillSeed = 7});
  const Bytes oneChanged_ = [this] {
    Bytes image = installed_;
    std::fill_n(image.begin() + kChanged, kTransferSize, 0xFF);
    return image;
  }();
  const Bytes images_[3] = {newer_, installed_, oneChanged_};
  const std::string imagePaths_[3] = {folder.Write("new.rom", newer_),
                                      folder.Write("installed.rom", installed_),
                                      folder.Write("changed.rom", oneChanged_)};
  const Bytes earlier_ = Bytes(kPart, 0x42);
  // The installed BIOS with the strings and UUID the DMI-only job types, as long as the old ones.
  const Bytes typed_ = BuildImage(
      {.dmi = {"SN-0000000", "Acme Systems Co", "AC-900", "Rev 2.0", "SYS-1234567", "CH-0000000"},
       .uuid = {'U', 'U', 'I', 'D', '-', 'O', 'F', '-', 'T', 'H', 'E', '-', 'R', 'O', 'M', '!'}});
  const Bytes noServices_ = BuildImage({.withFex = false});
  // A BIOS whose DMI block names no place for the strings a person types, and has no UUID field.
  const Bytes noDmiPlaces_ = [] {
    Bytes image = BuildImage({.hasUuidField = false});
    const int64_t dmi = sim::InspectRom(image).dmiAt;
    using enum DmiStringId;
    for (DmiStringId id : {kManufacturer, kProduct, kVersion, kSystemSerial})
      PutLe16(image.data() + dmi + kDmiStringOffsetField[static_cast<uint32_t>(id)], 0);
    return image;
  }();
  const std::string backupPath_ = folder.Path("bios.bak");
  std::string records_;                                    // every record of the line's cells
  std::vector<std::pair<std::string, std::string>> said_;  // each one's outcome and exit status
};

TEST_F(FaultMatrix, NoFaultEndsInASuccessThatIsNotOneAndARefusalTouchesNothing) {
  // The faults, `;` between them; `@` is a byte of the last block (below).
  const std::string faults =
      "no fault;discovery_fault = class_devices;discovery_fault = interface;"
      "discovery_fault = removed;discovery_fault = detail;discovery_fault = open;"
      "running = without flash services;kernel_memory_limit = 4096;unanswered_calls = 2;"
      "unanswered_calls = 3;part_supported = no;connect_refusal = Flash services locked;"
      "connect_without_data = yes;block = none;block = none + block = 0x80000 0 auto 2;password = "
      "4711 + password_typed = 4711;"
      "password = 4711;"
      "password = 4711 + password_typed = 1 + password_typed = 2 + password_typed = 3;"
      "read_fails_at = @;erase_fails_at = @;program_fails_at = @;stuck_high = @:0xFF;"
      "stuck_low = @:0xFF;once_flash_fails = program;once_flash_fails = erase;"
      "kernel_memory_limit = 65536;disconnect_refusal = Flash part busy;part_code = 0;"
      "power = battery;power = low;power = critical;ac_line_status = 255 + battery_flag = 128;"
      "power = low + answer = retry + answer = ignore;shutdown_privilege = no;"
      "shutdown_refused = yes;shutdown_box = not shown;image = unreadable;backup_file = cancelled;"
      "backup_file = cancelled + answer = ok + answer = cancel;backup_file = uncreatable;"
      "backup_file = unwritable;stuck_high = @:0xFF + disconnect_refusal = Flash part busy;"
      "read_fails_at = @ + disconnect_refusal = Flash part busy;"
      "erase_fails_at = @ + program_fails_at = @;"
      "power = low + answer = ignore + program_fails_at = @;backup_file = unwritable + power = low;"
      "password = 4711 + password_typed = 4711 + stuck_low = @:0xFF;"
      // The driver and the BIOS answer, and lie.
      "silent_read_at = 0x53000;short_bulk_reads_after = 85;allocation_refused_after = 10;"
      "bulk_write_refused_after = 5;programmed_but_not_written_at = @;"
      "segment_read_fails_at = 0xA000;running = without DMI places;";
  std::vector<std::string> jobs;
  for (const std::string& image : kImages) {
    for (int o = 0; o < 8; ++o) {  // every choice of backup, verify and blank check
      jobs.push_back(std::string("flash") + (o & 4 ? " +backup" : "") + (o & 2 ? " +verify" : "") +
                     (o & 1 ? " +blank" : "") + image);
    }
    jobs.insert(jobs.end(), {"/M" + image, "/M -verify" + image});
  }
  jobs.insert(jobs.end(), {"backup", "DMI only"});
  // A byte the installed BIOS, the newer image and the typed one hold as neither 0x00 nor 0xFF,
  // so that bits stuck either way show there whatever is written.
  uint32_t at = kSegment + 0x1000;
  while (newer_[at] == 0 || newer_[at] == 0xFF || installed_[at] == 0 || installed_[at] == 0xFF)
    ++at;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", at);

  std::string report = "# What the program does under each fault\n\nMade by `" + kRebuild +
                       "`; the columns: bench/README.md. The table: `" + kTable + "`; `@` is " +
                       hex + ".\n";
  for (size_t from = 0, end; (end = faults.find(';', from)) != std::string::npos; from = end + 1) {
    std::string fault = faults.substr(from, end - from);
    report += "\n## " + fault +
              "\n\n| job | outcome | exit | part | erases | KiB programmed | retried | put back "
              "| boxes |\n|---|---|---|---|---|---|---|---|---|\n";
    for (size_t n; (n = fault.find('@')) != std::string::npos;) fault.replace(n, 1, hex);
    std::vector<std::pair<std::string, std::string>> rows;  // jobs that ended alike share a row
    for (const std::string& job : jobs) {
      SCOPED_TRACE(fault + " / " + job);
      const std::string cell = RunCell(fault, job);
      auto row = std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r.second == cell; });
      row == rows.end() ? rows.push_back({job, cell}) : void(row->first += ", " + job);
    }
    for (const auto& [names, cell] : rows) report += "| " + names + cell;
  }
  const std::string all = folder.Write("all.jsonl", Bytes(records_.begin(), records_.end()));
  const std::vector<Record> parsed = ParseRecords(all);
  ASSERT_EQ(parsed.size(), said_.size());
  for (size_t n = 0; n < parsed.size(); ++n) {
    Record r = parsed[n];
    EXPECT_EQ(std::make_pair(r["outcome"], r["exit_status"]), said_[n]) << n;
  }
  if (const char* out = std::getenv("QL_FAULT_MATRIX"))
    std::ofstream(out, std::ios::binary) << report;
  const char* source = std::getenv("QL_SOURCE_DIR");
  EXPECT_TRUE(!source ||
              report == TempFolder::ReadText(std::string(source) + "/bench/fault-matrix.md"))
      << "the program no longer does what bench/fault-matrix.md says: " << kRebuild
      << ", then read git diff";
}

}  // namespace
}  // namespace ql::testing
