// The factory line's records and its check-only run, on the simulated machine; every record is
// read back by an independent JSON reader.
#include <algorithm>
#include <cstring>

#include "bios/bcp_layout.h"
#include "dmi/system_dmi.h"
#include "support/program_fixture.h"
#include "support/records.h"

namespace ql::testing {
namespace {

class RecordTest : public ProgramTest {
 protected:
  RecordTest() {
    desktop.onRepaint = [this](ProgressItem item) {
      if (item != ProgressItem::kBlockMap || !program) return;
      shown_ = program->progress().BlockMap();
      mostHeld_ = std::max(mostHeld_, std::ranges::count(shown_, CellState::kAlreadyHeld));
    };
  }
  ~RecordTest() override { desktop.onRepaint = nullptr; }
  // Runs `argument` ("/M file", "/C file") through its first paint on a fresh run.
  int LineRun(const std::string& argument) {
    mostHeld_ = 0;
    Run(argument);
    if (program->FirstPaint(nullptr)) program->FlashCommand(nullptr);
    return program->ExitStatus();
  }
  std::vector<Record> Records(const std::string& machine = "SYS-0000000") const {
    return ParseRecords(folder.Path("prog") + "\\records\\" + machine + ".jsonl");
  }
  const Bytes installed_ = Part();
  BlockMapCells shown_{};  // the map as last repainted
  long mostHeld_ = 0;      // cells it has shown as already held since the run began
};

TEST_F(RecordTest, ACheckOnlyRunComparesEveryBlockSendsNoChangeAndNamesWhatWouldBeRewritten) {
  Bytes oneChanged = installed_;
  oneChanged[0x30123] ^= 0xFF;
  const struct {
    Bytes image;
    int status;
    std::string differing;  // the first differing block's offset, or none
  } cases[] = {{installed_, 0, ""}, {oneChanged, 7, "196608"}};
  std::vector<long> held;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    UseMachine({}, installed_);
    EXPECT_EQ(LineRun("/C " + folder.Write("check.rom", c.image)), c.status);
    EXPECT_TRUE(program->RunOver()) << "the check ends the program by itself";
    for (uint32_t f : {biosfn::kEraseBlock, biosfn::kProgramFlash, biosfn::kOnceFlash})
      EXPECT_EQ(Calls(f), 0u);
    EXPECT_EQ(Part(), installed_);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.shutdownBoxes.empty());
    EXPECT_FALSE(std::filesystem::exists(ProgramFile("brimlet.ini"))) << "no settings saved";
    EXPECT_FALSE(std::filesystem::exists(ProgramFile("Logfile")));
    Record r = Records().back();
    EXPECT_EQ(r["outcome"], "checked");
    EXPECT_EQ(r["exit_status"], std::to_string(c.status));
    EXPECT_EQ(r["blocks.compared"], r["blocks.in_table"]);
    EXPECT_EQ(r.count("blocks.differing.1.index"), 0u);
    EXPECT_EQ(r["blocks.differing.0.file_offset"], c.differing);
    EXPECT_EQ(r["blocks.erased"] + r["blocks.programmed"], "00");
    EXPECT_EQ(shown_, program->progress().BlockMap()) << "the cleared map is shown";
    held.push_back(mostHeld_);
  }
  EXPECT_TRUE(0 < held[1] && held[1] < held[0]) << held[0] << " cells held, then " << held[1];
}

// A serial without a letter or digit names no machine: the UUID does, unless it is unset.
TEST(MachineFileNameTest, ASerialThatNamesNoMachineGivesWayToTheUuidUnlessItIsUnset) {
  SystemDmiRecord r;
  r.SystemDmiPresent = r.SystemUuidPresent = true;
  std::memcpy(r.SystemSerial.Bytes, "\x03 -.", 5);
  for (uint8_t i = 0; i < bcpdmi::kUuidFieldLength; ++i) r.Uuid[i] = i * 0x11;  // and the balance
  EXPECT_EQ(MachineFileName(r), "00112233445566778899AABBCCDDEEFF");
  for (uint8_t unset : {0x00, 0xFF}) {
    std::fill_n(r.Uuid, bcpdmi::kUuidLength, unset);
    EXPECT_EQ(MachineFileName(r), "unknown");
  }
}

TEST_F(RecordTest, MachinesSharingAFolderKeepTheirOwnFilesWhateverTheirSerialHolds) {
  sim::RomSpec odd;
  const std::string serial = "SN/01 \"a\\b\"\x1F\xE9\x7F";
  odd.dmi[static_cast<uint32_t>(DmiStringId::kSystemSerial)] = serial;
  sim::SimProfile timed;
  std::string error;
  ASSERT_TRUE(sim::ApplyProfileSetting("erase_ms", "10", &timed, &error)) << error;
  ASSERT_TRUE(sim::ApplyProfileSetting("program_ms", "1", &timed, &error)) << error;
  const std::string image = folder.Write("new.rom", BuildImage({.buildDate = "06/01/06"}));
  for (int run = 0; run < 3; ++run) {
    UseMachine(timed, run == 1 ? BuildImage(odd) : installed_);
    ForgetJournals();
    EXPECT_EQ(LineRun("/M " + image), 0);
    EXPECT_EQ(shown_, program->progress().BlockMap()) << "the cleared map is shown";
  }
  const std::vector<Record> plain = Records(), escaped = Records("SN_01__a_b____");
  ASSERT_EQ(plain.size(), 2u);
  ASSERT_EQ(escaped.size(), 1u);
  Record r = escaped[0];
  EXPECT_EQ(r["machine.system_serial"], serial) << "every byte back through the escapes";
  EXPECT_EQ(r["machine.name"], "SN_01__a_b____");
  EXPECT_EQ(r["outcome"], "flashed");
  EXPECT_EQ(r["image.file"], image);
  EXPECT_EQ(r["image.date"], "06/01/06");
  EXPECT_EQ(r["installed.date"], "03/14/05");
  EXPECT_EQ(r["options.backup"] + r["options.verify"], "falsetrue");
  // The simulated clock moves only by the part's timings: 10 ms an erase, 1 ms a programmed piece.
  const uint32_t erased = std::stoul(r["blocks.erased"]);
  EXPECT_GT(erased, 0u);
  EXPECT_EQ(r["ms.erase"], std::to_string(10 * erased));
  EXPECT_EQ(r["ms.program"], std::to_string(std::stoull(r["blocks.bytes_programmed"]) / 4096));
  EXPECT_EQ(r["started"], "2006-06-01T08:00:00.000Z");
  EXPECT_EQ(r["ms.total"], std::to_string(std::stoul(r["ms.erase"]) + std::stoul(r["ms.program"])));
  EXPECT_EQ(r["log.0"], "Starting to flash!!");
  EXPECT_EQ(r["exit_status"], "0");
}

TEST_F(RecordTest, ARecordsFolderThatCannotBeMadeChangesNothingElse) {
  const std::string image = folder.Write("new.rom", BuildImage({.buildDate = "06/01/06"}));
  std::vector<std::string> seen[2];
  for (bool fails : {false, true}) {
    UseMachine({}, installed_);
    ForgetJournals();
    std::filesystem::remove(ProgramFile("Logfile"));
    files.failCreateFolder = fails;
    desktop = ScriptedDesktop{};
    seen[fails] = {std::to_string(LineRun("/M " + image)),
                   std::string(Part().begin(), Part().end()),
                   TempFolder::ReadText(ProgramFile("Logfile")),
                   std::to_string(desktop.messages.size()) + std::to_string(files.openHandles)};
    EXPECT_NE(std::filesystem::remove(folder.Path("prog\\records\\SYS-0000000.jsonl")), fails);
  }
  EXPECT_EQ(seen[0], seen[1]);
}

TEST_F(RecordTest, APersonsFlashIsRecordedOnlyWhenTickedAndTheTickKeepsItsOwnFile) {
  const Bytes newer = BuildImage({.buildDate = "06/01/06"});
  for (bool ticked : {false, true}) {
    UseMachine({}, installed_);
    ForgetJournals();
    Run();
    program->ConfirmOptionDialog({true, true, true, ticked});
    desktop.saveFileAnswers = {folder.Path("bios.bak")};
    Load(newer);
    program->FlashCommand(nullptr);
  }
  UseMachine({}, installed_);
  Run();
  EXPECT_TRUE(program->OptionDialogChecks().WriteRecords) << "the tick is read at the next start";
  EXPECT_EQ(TempFolder::ReadFile(ProgramFile("brimlet.ini")), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(TempFolder::ReadFile(ProgramFile("records.ini")), (Bytes{1}));
  ASSERT_EQ(Records().size(), 1u);
  Record r = Records()[0];
  EXPECT_EQ(r["exit_status"], "null") << "a person's run goes on";
  EXPECT_EQ(r["outcome"], "flashed");
  EXPECT_EQ(r["options.backup"], "true");
}

}  // namespace
}  // namespace ql::testing
