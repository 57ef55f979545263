// Data the driver failed to hand over between the program and the BIOS: a receive buffer not
// fetched leaves the reply holding the piece read before, a send buffer not written holds the
// piece programmed before. Neither a verify, a backup, the block table nor a program may take
// the stale bytes for the ones asked for.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "driver/driver_requests.h"
#include "flash/backup.h"
#include "flash/block_passes.h"
#include "flash/flash_scenario.h"
#include "app/options.h"
#include "platform/bytes.h"

namespace ql::testing {
namespace {

// The simulated machine, except that the driver can be made to fail the next fetch of the
// receive buffer, as a device-control call that fails leaves the reply block as it was.
class FetchFailingMachine final : public Machine {
 public:
  explicit FetchFailingMachine(Machine& inner) : inner_(inner) {}
  bool failNextFetch = false;
  int failedFetches = 0;
  bool failNextSend = false;

  bool GetClassDevices(WindowHandle owner, DeviceSetHandle* set) override {
    return inner_.GetClassDevices(owner, set);
  }
  bool EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) override {
    return inner_.EnumFirstInterface(set, flags);
  }
  uint32_t GetInterfaceDetailSize(DeviceSetHandle set) override {
    return inner_.GetInterfaceDetailSize(set);
  }
  bool GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) override {
    return inner_.GetInterfaceDetail(set, record, size);
  }
  void DestroyDeviceSet(DeviceSetHandle set) override { inner_.DestroyDeviceSet(set); }
  bool OpenDevice(const char* path, DeviceHandle* device) override {
    return inner_.OpenDevice(path, device);
  }
  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                     uint32_t requestSize, uint8_t* reply, uint32_t replySize) override {
    bool fetch = code == kIoctlReadMemory && requestSize == kBulkBlockSize &&
                 GetLe32(request + wire::kReadSource) == BiosCalls.ReceiveBuffer.linear;
    if (fetch && failNextFetch) {
      failNextFetch = false;
      ++failedFetches;
      return false;
    }
    bool send = code == kIoctlWriteMemory && requestSize == kBulkBlockSize &&
                GetLe32(request + wire::kWriteDestination) == BiosCalls.SendBuffer.linear;
    if (send && failNextSend) {
      failNextSend = false;
      return false;
    }
    return inner_.DeviceControl(device, code, request, requestSize, reply, replySize);
  }
  PowerStatus GetPowerStatus() override { return inner_.GetPowerStatus(); }
  bool EnableShutdownPrivilege() override { return inner_.EnableShutdownPrivilege(); }
  void ExitWindows(uint32_t flags) override { inner_.ExitWindows(flags); }
  [[noreturn]] void ExitProcess(int exitCode) override {
    inner_.ExitProcess(exitCode);
    std::abort();  // the inner machine's exit does not return either
  }

 private:
  Machine& inner_;
};

class FetchFailureTest : public FlashScenario {
 protected:
  void SetUp() override {
    FlashScenario::SetUp();
    Start();
    InstallPlatform(PlatformSeam{&desktop, &failing_, &files, &allocator});
  }
  FetchFailingMachine failing_{*sim_};
};

TEST_F(FetchFailureTest, AVerifyDoesNotPassOnThePieceReadBefore) {
  ConnectBios(nullptr);
  const FlashBlockRecord block = FlashPart.FlashBlockTable[0];
  // A source whose second piece holds what the part holds in its first: the part differs from
  // it there, and only a stale reply could make the two look equal.
  Bytes source = installed_;
  std::memcpy(source.data() + block.FileOffset + TransferSize, installed_.data() + block.FileOffset,
              TransferSize);
  ASSERT_NE(std::memcmp(source.data() + block.FileOffset + TransferSize,
                        installed_.data() + block.FileOffset + TransferSize, TransferSize),
            0);
  EXPECT_EQ(VerifyFlashPiece(block.LinearPtr, block.FileOffset, TransferSize, source.data()), 1);
  failing_.failNextFetch = true;
  EXPECT_EQ(VerifyFlashPiece(block.LinearPtr + TransferSize, block.FileOffset + TransferSize,
                             TransferSize, source.data()),
            0);
  EXPECT_EQ(failing_.failedFetches, 1);
  DisconnectBios(nullptr);
}

TEST_F(FetchFailureTest, ABackupWithAFetchThatFailedWritesNoFile) {
  desktop.saveFileAnswers = {temp_.Path("bios.bak")};
  // The session is open, its table fetched: the first fetch to fail is one of the backup's reads.
  ConnectBios(nullptr);
  failing_.failNextFetch = true;
  EXPECT_EQ(BackupBios(nullptr), 0);
  EXPECT_EQ(failing_.failedFetches, 1);
  EXPECT_FALSE(std::filesystem::exists(temp_.Path("bios.bak")));
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Stop("Can not read the whole BIOS from the flash part!!\n"
                                            "The backup file was not written!!")});
}

TEST_F(FetchFailureTest, AConnectWhoseTableWasNotHandedOverBuildsNoTable) {
  // The first fetch of the run is the connect's block table.
  failing_.failNextFetch = true;
  ConnectBios(nullptr);
  EXPECT_EQ(failing_.failedFetches, 1);
  EXPECT_EQ(FlashPart.BlockTableBuilt, 0u);
  EXPECT_EQ(FlashPart.BlockCount, 0);
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Box("No data back to App 4k buffer ", kMbOk)});
  // And nothing is flashed from such a session.
  desktop.messages.clear();
  EXPECT_EQ(FlashBlocks(nullptr, installed_.data(), static_cast<uint32_t>(installed_.size())), 0);
  EXPECT_EQ(sim_->FlashContents(), installed_);
}

TEST_F(FetchFailureTest, AProgramWhoseDataWasNotHandedOverStopsTheFlashEvenWithoutVerify) {
  Options.AutoVerify = 0;
  Options.AutoBlankCheck = 0;
  ConnectBios(nullptr);
  failing_.failNextSend = true;
  EXPECT_EQ(FlashBlocks(nullptr, newer_.data(), static_cast<uint32_t>(newer_.size())), 0);
  EXPECT_EQ(desktop.messages,
            std::vector<MessageRecord>{Stop("Can not hand the data to program to the BIOS!!\n"
                                            "The flash was stopped!!")});
  EXPECT_EQ(BiosSession.Connected, 0u);
}

}  // namespace
}  // namespace ql::testing
