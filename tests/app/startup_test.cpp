#include "app/startup.h"

#include <cstring>
#include <string>

#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

class StartupTest : public SeamTest {
 protected:
  // Starts on the given family with the raw command line; answers the exit status if it ended.
  std::optional<int> Start(uint32_t platformId, const std::string& raw,
                           const char* currentDirectory = "C:\\Work") {
    StartupInputs in;
    in.platformId = platformId;
    in.currentDirectory = currentDirectory;
    in.rawCommandLine = raw.c_str();
    in.modulePath = "C:\\Tools\\Flash\\quorrelite.exe";
    return ExitStatusOf([&] { RunStartup(in); });
  }
  std::optional<int> Start98(const std::string& argument) {
    return Start(kPlatformWin9x, "\"C:\\Tools\\quorrelite.exe\" " + argument);
  }
  std::optional<int> Start2000(const std::string& argument) {
    return Start(2, "\"C:\\Tools\\quorrelite.exe\" " + argument);
  }
  // Parses a StartupArgument as it stands after the family's quote handling.
  uint32_t Parse(const char* s) {
    std::strcpy(Startup.StartupArgument, s);
    return ParseStartupArgument();
  }
};

TEST_F(StartupTest, OsFamilyFollowsThePlatformId) {
  Start(kPlatformWin9x, "\"C:\\q.exe\"");
  EXPECT_EQ(Startup.OsFamily, kWin98);
  for (uint32_t id : {0u, 2u, 3u}) {
    ResetProcessState();
    Start(id, "\"C:\\q.exe\"");
    EXPECT_EQ(Startup.OsFamily, kWin2000) << "platform id " << id;
  }
}

TEST_F(StartupTest, ProgramDirectoryIsTheQuotedPathUpToItsLastBackslash) {
  Start(2, "\"D:\\Tools\\Flash\\x.exe\" \"whatever \\ follows\"");
  EXPECT_STREQ(Startup.ProgramDirectory, "D:\\Tools\\Flash");
  EXPECT_STREQ(Startup.CurrentDirectory, "C:\\Work");
}

TEST_F(StartupTest, UnquotedStartTakesTheModulePathAndABareNameTheCurrentFolder) {
  Start(2, "x.exe a.rom");
  EXPECT_STREQ(Startup.ProgramDirectory, "C:\\Tools\\Flash");
  StartupInputs in;
  in.platformId = 2;
  in.currentDirectory = "C:\\Work";
  in.rawCommandLine = "x.exe";
  in.modulePath = "x.exe";
  ResetProcessState();
  RunStartup(in);
  EXPECT_STREQ(Startup.ProgramDirectory, "C:\\Work");
}

TEST_F(StartupTest, MissingCurrentDirectoryOrOverlongProgramPathIsFatal) {
  EXPECT_EQ(Start(2, "\"C:\\q.exe\"", nullptr), 1);
  std::string longPath = "\"C:\\" + std::string(520, 'd') + "\\q.exe\"";
  EXPECT_EQ(Start(2, longPath), 1);
  MessageRecord expected{kMsgDirectoryTooLong, "Quorrelite", kMbIconHand};
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_EQ(desktop.messages[0], expected);
  EXPECT_EQ(desktop.messages[1], expected);
  // A path of 511 bytes still fits.
  std::string fits = "\"C:\\" + std::string(507 - 6, 'd') + "\\q.exe\"";
  EXPECT_EQ(Start(2, fits), std::nullopt);
}

TEST_F(StartupTest, ArgumentTextSkipsTheProgramNameAndFollowingBlanks) {
  EXPECT_STREQ(ArgumentText("\"C:\\a b\\q.exe\"  \t x.rom"), "x.rom");
  EXPECT_STREQ(ArgumentText("q.exe   /M x.rom"), "/M x.rom");
  EXPECT_STREQ(ArgumentText("\"C:\\q.exe\""), "");
  EXPECT_STREQ(ArgumentText("q.exe"), "");
}

TEST_F(StartupTest, ManufacturingSwitchSpellings) {
  for (const char* s : {"/m x.rom", "/Mx.rom", "/M    x.rom", "/M x.rom y"}) {
    ResetProcessState();
    EXPECT_EQ(Parse(s), 1u) << s;
    EXPECT_EQ(Startup.ManufacturingMode, 1u) << s;
    EXPECT_EQ(Startup.PlainArgument, 0u) << s;
    EXPECT_STREQ(Startup.ManufacturingFileName, "x.rom") << s;
  }
  // Tabs are not blanks: the name runs on.
  EXPECT_EQ(Parse("/M\tx.rom"), 1u);
  EXPECT_STREQ(Startup.ManufacturingFileName, "\tx.rom");
  EXPECT_EQ(Parse("/M"), 1u);
  EXPECT_STREQ(Startup.ManufacturingFileName, "");
}

TEST_F(StartupTest, OtherSwitchesAndPlainNames) {
  EXPECT_EQ(Parse("/X"), 0u);
  EXPECT_EQ(Startup.ManufacturingMode, 0u);
  EXPECT_EQ(Parse("/?"), 0u);
  EXPECT_EQ(Parse("my bios.rom"), 1u);
  EXPECT_EQ(Startup.PlainArgument, 1u);
  EXPECT_EQ(Parse(""), 1u);
  EXPECT_EQ(Startup.PlainArgument, 1u);
}

TEST_F(StartupTest, Win2000StripsTheQuotesThatWrapTheArgument) {
  Start2000("\"/Mx.rom\"");
  EXPECT_EQ(Startup.ManufacturingMode, 1u);
  EXPECT_STREQ(Startup.StartupArgument, "x.rom");
  EXPECT_EQ(Startup.StartupFilePending, 1u);

  ResetProcessState();
  Start2000("/Mx.rom");  // not wrapped: loses its first and last characters
  EXPECT_EQ(Startup.ManufacturingMode, 0u);
  EXPECT_STREQ(Startup.StartupArgument, "Mx.ro");
  EXPECT_EQ(Startup.StartupFilePending, 1u);

  for (const char* shortArg : {"a", "ab"}) {
    ResetProcessState();
    Start2000(shortArg);
    EXPECT_STREQ(Startup.StartupArgument, "") << shortArg;
    EXPECT_EQ(Startup.StartupFilePending, 1u) << shortArg;
    EXPECT_EQ(Startup.PlainArgument, 1u) << shortArg;
  }
}

TEST_F(StartupTest, Win98TakesTheArgumentWholeAndItsSwitchDecidesWhatIsPending) {
  struct Case {
    const char* argument;
    const char* kept;
    uint32_t pending, manufacturing;
  };
  const Case cases[] = {
      {"my new bios.rom", "my new bios.rom", 1, 0},  // blanks included
      {"/M x.rom y", "x.rom", 1, 1},                 // the manufacturing file replaces it
      {"/X x.rom", nullptr, 0, 0},                   // an unknown switch: no file, silently
      {"", nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    ResetProcessState();
    Start98(c.argument);
    if (c.kept != nullptr) {
      EXPECT_STREQ(Startup.StartupArgument, c.kept);
    }
    EXPECT_EQ(Startup.StartupFilePending, c.pending);
    EXPECT_EQ(Startup.ManufacturingMode, c.manufacturing);
  }
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(StartupTest, ArgumentOf128IsAcceptedAnd129IsRefused) {
  Start98(std::string(128, 'a'));
  EXPECT_EQ(Startup.StartupFilePending, 1u);
  EXPECT_EQ(std::strlen(Startup.StartupArgument), 128u);
  EXPECT_TRUE(desktop.messages.empty());

  ResetProcessState();
  EXPECT_EQ(Start98("/M " + std::string(126, 'a')), std::nullopt);  // not fatal
  EXPECT_EQ(Startup.StartupFilePending, 0u);
  EXPECT_EQ(Startup.ManufacturingMode, 0u);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0],
            (MessageRecord{"The length of command line was too large!!", "Quorrelite", kMbOk}));
  EXPECT_EQ(desktop.messages[0].owner, nullptr);
}

}  // namespace
}  // namespace ql::testing
