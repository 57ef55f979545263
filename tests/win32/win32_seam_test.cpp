// The Win32 side of the seam under the real platform (Wine on the build machines).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/process_state.h"
#include "app/startup.h"
#include "app/win32/startup_inputs.h"
#include "driver/driver_link.h"
#include "platform/platform.h"
#include "platform/testing/scripted_desktop.h"
#include "platform/win32/win.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_machine.h"
#include "win32/win32_support.h"

namespace ql::testing {
namespace {

class Win32SeamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    previous_ = InstallPlatform(PlatformSeam{&desktop, &machine, &files, &allocator});
    folder = TempFolderNamed("ql-win32-test") + "\\";
  }
  void TearDown() override {
    ResetProcessState();
    InstallPlatform(previous_);
  }
  std::string Path(const char* name) { return folder + name; }

  ScriptedDesktop desktop;
  Win32Machine machine;
  Win32Files files;
  Win32Allocator allocator;
  std::string folder;

 private:
  PlatformSeam previous_;
};

TEST_F(Win32SeamTest, OpenDriverReportsAMachineWithoutTheFlashDriver) {
  EXPECT_EQ(OpenDriver(nullptr), -1);
  ASSERT_EQ(desktop.messages.size(), 1u);
  // The platform fails one of the first two steps, depending on how it treats an unknown class.
  const std::string& text = desktop.messages[0].text;
  EXPECT_TRUE(text == "Can not found driver !!" || text == "Can not get driver interface!!")
      << text;
  EXPECT_EQ(desktop.messages[0].caption, "ERROR Message");
  EXPECT_EQ(desktop.messages[0].style, 0x30u);
  EXPECT_EQ(DriverLink.DriverHandle, nullptr);
}

TEST_F(Win32SeamTest, FilesReadWriteAppendAndRefuseASecondOpener) {
  const std::string name = Path("data.bin");
  FileHandle f = files.Open(name.c_str(), FileMode::kCreateAlways);
  ASSERT_NE(f, kInvalidFile);
  // Unshared: nobody else may open it meanwhile.
  EXPECT_EQ(files.Open(name.c_str(), FileMode::kReadExisting), kInvalidFile);
  uint32_t done = 0;
  EXPECT_TRUE(files.Write(f, "abcdef", 6, &done));
  EXPECT_EQ(done, 6u);
  files.Close(f);

  f = files.Open(name.c_str(), FileMode::kAppendExisting);
  ASSERT_NE(f, kInvalidFile);
  EXPECT_TRUE(files.SeekToEnd(f));
  EXPECT_TRUE(files.Write(f, "gh", 2, &done));
  files.Close(f);

  f = files.Open(name.c_str(), FileMode::kReadExisting);
  ASSERT_NE(f, kInvalidFile);
  EXPECT_EQ(files.GetSize(f), 8u);
  char buf[16] = {};
  EXPECT_TRUE(files.Read(f, buf, 5, &done));
  EXPECT_EQ(done, 5u);
  EXPECT_TRUE(files.Read(f, buf + 5, 10, &done));
  EXPECT_EQ(done, 3u);  // a short read at the end of the file is reported, not hidden
  EXPECT_STREQ(buf, "abcdefgh");
  files.Close(f);

  EXPECT_EQ(files.Open(Path("missing.bin").c_str(), FileMode::kReadExisting), kInvalidFile);
  EXPECT_EQ(files.Open(Path("missing.bin").c_str(), FileMode::kAppendExisting), kInvalidFile);
  DeleteFileA(name.c_str());
}

TEST_F(Win32SeamTest, StartupFindsTheProgramFolderOfThisProcess) {
  Win32StartupInputs g = GatherStartupInputs(GetModuleHandleA(nullptr));
  RunStartup(g.inputs);
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  *std::strrchr(module, '\\') = '\0';
  EXPECT_STREQ(Startup.ProgramDirectory, module);
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_STREQ(Startup.CurrentDirectory, current);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(Win32SeamTest, HeapAllocationsAreZeroedAndNullFreesAreIgnored) {
  auto* p = static_cast<unsigned char*>(HeapAllocZeroed(4096));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
  HeapFreeIfSet(p);
  HeapFreeIfSet(nullptr);
}

}  // namespace
}  // namespace ql::testing
