// Start-up: the command line and folders become the start-up state, or end the start-up.
#include "app/startup.h"

#include "support/program_fixture.h"

namespace ql::testing {
namespace {

class StartupTest : public ProgramTest {
 protected:
  Outcome Start(uint32_t platformId, const std::string& raw, const char* current = "C:\\Work",
                const char* module = "E:\\Mod\\q.exe") {
    state = StartupState{};
    return RunStartup(desktop, {nullptr, platformId, current, raw.c_str(), module}, &state);
  }
  StartupState state;
};

TEST_F(StartupTest, TheFamilyDecidesHowTheArgumentIsTakenAndTheSwitchWhatIsPending) {
  constexpr uint32_t k98 = kPlatformWin9x, k2000 = 2;
  struct Case {
    uint32_t platform;
    std::string argument, kept;
    bool pending, manufacturing;
  };
  const Case cases[] = {
      {k98, "my new bios.rom", "my new bios.rom", true, false},  // blanks belong to the name
      {k98, "/m x.rom y", "x.rom", true, true},  // the manufacturing file replaces the argument
      {k98, "/Mx.rom", "x.rom", true, true},
      {k98, "/M\tx.rom", "\tx.rom", true, true},  // a tab is no blank
      {k98, "/M", "", true, true},
      {k98, "/X x.rom", "/X x.rom", false, false},  // another switch: silently no file
      {k98, "", "", false, false},
      {k2000, "\"/Mx.rom\"", "x.rom", true, true},  // the family wraps the argument in quotes
      {k2000, "/Mx.rom", "Mx.ro", true, false},     // so an unwrapped one loses both ends
      {k2000, "ab", "", true, false},
      {k2000, "abc", "b", true, false},
      {k98, std::string(128, 'a'), std::string(128, 'a'), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    ASSERT_EQ(Start(c.platform, "\"C:\\Tools\\Flash\\q.exe\"  \t " + c.argument), Outcome::kDone);
    EXPECT_EQ(state.OsFamily, c.platform == k98 ? kWin98 : kWin2000);
    EXPECT_EQ(state.StartupArgument, c.kept);
    EXPECT_EQ(state.StartupFilePending, c.pending);
    EXPECT_EQ(state.ManufacturingMode, c.manufacturing);
    EXPECT_EQ(state.PlainArgument, c.pending && !c.manufacturing);
  }
  EXPECT_TRUE(desktop.messages.empty());

  // One byte more is refused in a box, and the run goes on without a file.
  EXPECT_EQ(Start(k98, "q.exe /M " + std::string(126, 'a')), Outcome::kDone);
  EXPECT_FALSE(state.StartupFilePending);
  EXPECT_FALSE(state.ManufacturingMode);
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Box("The length of command line was too large!!", kMbOk)});
}

TEST_F(StartupTest, TheProgramFolderComesFromTheQuotedPathTheModuleOrTheCurrentFolder) {
  ASSERT_EQ(Start(2, "\"D:\\A b\\x.exe\" \"whatever \\ follows\""), Outcome::kDone);
  EXPECT_STREQ(state.ProgramDirectory, "D:\\A b");
  ASSERT_EQ(Start(2, "x.exe a.rom"), Outcome::kDone);
  EXPECT_STREQ(state.ProgramDirectory, "E:\\Mod");
  ASSERT_EQ(Start(2, "x.exe", "C:\\Work", "x.exe"), Outcome::kDone);
  EXPECT_STREQ(state.ProgramDirectory, "C:\\Work");
  // 511 bytes of path still fit (512 do not: see below).
  ASSERT_EQ(Start(2, "\"C:\\" + std::string(502, 'd') + "\\q.exe\""), Outcome::kDone);
  EXPECT_EQ(std::string(state.ProgramDirectory).size(), 505u);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(StartupTest, AFolderThatCannotBeHadEndsTheStartUpAtOnce) {
  const std::string tooLongArgument = " /M " + std::string(200, 'a');
  const std::string current500(500, 'c');
  const std::pair<std::string, const char*> cases[] = {
      {"\"C:\\q.exe\"" + tooLongArgument, nullptr},
      {"\"C:\\q.exe\"" + tooLongArgument, current500.c_str()},
      {"\"C:\\" + std::string(503, 'd') + "\\q.exe\"" + tooLongArgument, "C:\\Work"},
  };
  for (const auto& [raw, current] : cases) {
    desktop.messages.clear();
    EXPECT_EQ(Start(2, raw, current), Outcome::kFatal) << raw.substr(0, 20);
    // One box: nothing after the fatal step runs, the argument's own complaint included.
    EXPECT_EQ(desktop.messages,
              std::vector<MessageRecord>{Stop("The directory of Quorrelite is too long!!")});
  }
}

}  // namespace
}  // namespace ql::testing
