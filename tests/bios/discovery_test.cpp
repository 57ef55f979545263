#include "bios/bios_interface.h"

#include <cstring>

#include "dmi/dmi_strings.h"
#include "dmi/system_dmi.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "fake_bios.h"
#include "platform/bytes.h"
#include "rom/bcp_sys.h"
#include "support/seam_fixture.h"

namespace ql::testing {
namespace {

class DiscoveryTest : public SeamTest {
 protected:
  void SetUp() override {
    SeamTest::SetUp();
    ASSERT_EQ(OpenDriver(nullptr), 0);
    for (size_t i = 0; i < fake.segment.size(); ++i) {
      fake.segment[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
  }
  void TearDown() override {
    EXPECT_TRUE(fake.faults.empty()) << fake.faults.front();
    SeamTest::TearDown();
  }

  void PutFex(uint32_t offset, uint32_t port, uint8_t value) {
    fake.PutSignature(offset, "BCPFEX");
    PutLe32(fake.segment.data() + offset + 10, port);
    fake.segment[offset + 14] = value;
  }
  void PutSys(uint32_t offset, uint16_t romSizeKb) {
    fake.PutSignature(offset, "BCPSYS");
    PutLe16(fake.segment.data() + offset + 0x7B, romSizeKb);
  }
  // A BCPDMI header of the given version whose six string offsets and UUID offset are given.
  void PutDmi(uint32_t offset, uint8_t major, uint8_t minor, const uint16_t strings[6],
              uint16_t uuid) {
    std::memset(fake.segment.data() + offset, 0, 40);
    fake.PutSignature(offset, "BCPDMI");
    fake.segment[offset + 6] = major;
    fake.segment[offset + 7] = minor;
    const uint32_t fields[6] = {0x10, 0x16, 0x18, 0x1A, 0x1C, 0x22};
    for (int i = 0; i < 6; ++i) PutLe16(fake.segment.data() + offset + fields[i], strings[i]);
    PutLe16(fake.segment.data() + offset + 0x26, uuid);
  }
  // A DMI string field: length byte at o - 1, characters, terminator, balance byte.
  void PutString(uint16_t o, const std::string& s, uint8_t balance) {
    fake.segment[o - 1u] = static_cast<uint8_t>(s.size());
    std::memcpy(fake.segment.data() + o, s.data(), s.size());
    fake.segment[o + s.size()] = 0;
    fake.segment[o + s.size() + 1] = balance;
  }
  std::vector<uint8_t> CopyBytes(const DmiStringCopy& c, size_t n) {
    return std::vector<uint8_t>(c.Bytes, c.Bytes + n);
  }
  std::vector<uint8_t> SegmentBytes(uint32_t from, size_t n) {
    return std::vector<uint8_t>(fake.segment.begin() + from, fake.segment.begin() + from + n);
  }
  std::vector<uint32_t> Searched() {
    std::vector<uint32_t> patterns;
    for (const DriverCall& c : machine.calls) {
      if (c.code == kIoctlSearchMemory) patterns.push_back(c.request[12 + 3]);  // F, S or D
    }
    return patterns;
  }

  FakeBios fake{machine};
};

TEST_F(DiscoveryTest, FindsTheTriggerAndReadsEverythingInItsFixedOrder) {
  PutFex(0x5A0, 0x12345678u, 0x9C);
  PutSys(0x800, 512);
  const uint16_t strings[6] = {0x2000, 0x2100, 0x2200, 0x2300, 0x2400, 0x2500};
  PutDmi(0x1000, 2, 11, strings, 0x3000);
  EXPECT_EQ(DiscoverBiosInterface(nullptr), 0);
  EXPECT_EQ(BiosInterface.BiosSegment, kFakeSegmentLinear);
  EXPECT_EQ(BiosInterface.TriggerPort, 0x12345678u);
  EXPECT_EQ(BiosInterface.TriggerValue, 0x9C);
  EXPECT_EQ(SystemBcpSys.Block.RomSizeKb, 512);
  EXPECT_EQ(DmiStrings.SystemDmi.SystemDmiPresent, 1u);

  // Map, the segment copy in 16 bulk reads, then BCPFEX, BCPSYS and BCPDMI.
  std::vector<uint32_t> codes = machine.Codes();
  ASSERT_GE(codes.size(), 17u);
  EXPECT_EQ(codes[0], kIoctlMapPhysicalMemory);
  for (int i = 1; i <= 16; ++i) {
    EXPECT_EQ(machine.calls[i].requestSize, kBulkBlockSize);
    EXPECT_EQ(GetLe32(machine.calls[i].request.data()),
              kFakeSegmentLinear + 4096u * static_cast<uint32_t>(i - 1));
  }
  EXPECT_EQ(codes[17], kIoctlSearchMemory);
  EXPECT_EQ(Searched(), (std::vector<uint32_t>{'F', 'S', 'D'}));
  ASSERT_NE(DmiStrings.BiosSegmentCopy, nullptr);
  EXPECT_EQ(std::memcmp(DmiStrings.BiosSegmentCopy, fake.segment.data(), 0x10000), 0);
  EXPECT_TRUE(fake.unmapped.empty());
}

TEST_F(DiscoveryTest, ABlockAtOffsetZeroIsFound) {
  PutFex(0, 0xB2, 0x5E);
  PutSys(0x100, 1024);
  EXPECT_EQ(DiscoverBiosInterface(nullptr), 0);
  EXPECT_EQ(BiosInterface.TriggerPort, 0xB2u);
  EXPECT_EQ(BiosInterface.TriggerValue, 0x5E);
}

TEST_F(DiscoveryTest, WithoutBcpFexTheSegmentIsUnmappedAndNothingElseIsRead) {
  PutSys(0x100, 512);
  EXPECT_EQ(DiscoverBiosInterface(nullptr), -1);
  EXPECT_EQ(fake.unmapped, (std::vector<uint32_t>{kFakeSegmentLinear}));
  EXPECT_EQ(BiosInterface.BiosSegment, 0u);
  EXPECT_EQ(Searched(), (std::vector<uint32_t>{'F'}));
  // The release at the end does not unmap it a second time.
  ReleaseBiosCallResources();
  EXPECT_EQ(fake.unmapped.size(), 1u);
}

TEST_F(DiscoveryTest, BcpFexWithoutBcpSysIsRefusedAndTheDmiBlockIsNotRead) {
  PutFex(0x200, 0xB2, 1);
  const uint16_t strings[6] = {0x2000, 0x2000, 0x2000, 0x2000, 0x2000, 0x2000};
  PutDmi(0x1000, 2, 11, strings, 0);
  EXPECT_EQ(DiscoverBiosInterface(nullptr), -1);
  EXPECT_EQ(Searched(), (std::vector<uint32_t>{'F', 'S'}));
  EXPECT_EQ(DmiStrings.SystemDmi.SystemDmiPresent, 0u);
  EXPECT_EQ(BiosInterface.BiosSegment, kFakeSegmentLinear);  // released at the end of the run
}

TEST_F(DiscoveryTest, BlocksThatWouldRunPastTheSegmentEndAreNoBlocks) {
  PutFex(0xFFF0, 0xB2, 1);  // 18 bytes from 0xFFF0 end past 0x10000
  EXPECT_EQ(DiscoverBiosInterface(nullptr), -1);

  ResetProcessState();
  ASSERT_EQ(OpenDriver(nullptr), 0);
  fake.segment.assign(0x10000, 0);
  PutFex(0x100, 0xB2, 1);
  fake.PutSignature(0xFF90, "BCPSYS");  // 128 bytes from 0xFF90 end past 0x10000
  EXPECT_EQ(DiscoverBiosInterface(nullptr), -1);
}

TEST_F(DiscoveryTest, AMappingThatFailsOrLandsAtZeroIsRefusedBeforeAnythingIsRead) {
  fake.mapFails = true;
  EXPECT_EQ(DiscoverBiosInterface(nullptr), -1);
  fake.mapFails = false;
  fake.mapAtZero = true;
  EXPECT_EQ(DiscoverBiosInterface(nullptr), -1);
  EXPECT_EQ(machine.Codes(),
            (std::vector<uint32_t>{kIoctlMapPhysicalMemory, kIoctlMapPhysicalMemory}));
  EXPECT_EQ(BiosInterface.BiosSegment, 0u);
}

TEST_F(DiscoveryTest, NoMemoryForTheSegmentCopyEndsTheRunAndStillUnmaps) {
  allocator.failAbove = 0xFFFF;
  EXPECT_EQ(ExitStatusOf([] { DiscoverBiosInterface(nullptr); }), 1);
  EXPECT_EQ(desktop.messages,
            (std::vector<MessageRecord>{{"Memory allocate error", "Quorrelite", 0x10}}));
  EXPECT_EQ(fake.freed, (std::vector<uint32_t>{0, 0, 0, 0}));
  EXPECT_EQ(fake.unmapped, (std::vector<uint32_t>{kFakeSegmentLinear}));
  EXPECT_EQ(desktop.skinReleases, 1);
}

TEST_F(DiscoveryTest, SystemStringsAndUuidComeFromTheSegmentCopy) {
  PutFex(0x100, 0xB2, 1);
  PutSys(0x200, 512);
  const uint16_t strings[6] = {0x2000, 0x2100, 0x2200, 0x2300, 0x2400, 0x2500};
  PutDmi(0x1000, 2, 11, strings, 0x3000);
  PutString(0x2000, "SN-0001", 0x5D);
  PutString(0x2100, "Vantrel", 0x11);
  PutString(0x2200, "", 0x7F);
  PutString(0x2500, std::string(77, 'c'), 0x22);  // the longest that fits 80 bytes
  ASSERT_EQ(DiscoverBiosInterface(nullptr), 0);
  const SystemDmiRecord& d = DmiStrings.SystemDmi;
  EXPECT_EQ(CopyBytes(d.Serial, 10), SegmentBytes(0x1FFF, 10));
  EXPECT_STREQ(d.Serial.Text(), "SN-0001");
  EXPECT_EQ(d.Serial.Bytes[9], 0x5D);
  EXPECT_EQ(CopyBytes(d.Manufacturer, 10), SegmentBytes(0x20FF, 10));
  EXPECT_EQ(CopyBytes(d.Product, 4), (std::vector<uint8_t>{0, 0, 0x7F, 0}));
  EXPECT_EQ(CopyBytes(d.ChassisSerial, 80), SegmentBytes(0x24FF, 80));
  EXPECT_EQ(d.SystemUuidPresent, 1u);
  EXPECT_EQ(std::vector<uint8_t>(d.Uuid, d.Uuid + 17), SegmentBytes(0x3000, 17));

  // The strings are taken from the copy made at start-up, not from the live segment.
  DmiStrings.BiosSegmentCopy[0x2000] = 'Q';
  ReadSystemDmi();
  EXPECT_STREQ(d.Serial.Text(), "QN-0001");
}

TEST_F(DiscoveryTest, TheUuidFieldNeedsVersion2Dot11AndAnOffset) {
  struct Case {
    uint8_t major, minor;
    uint16_t offset;
    uint32_t present;
  };
  const Case cases[] = {{2, 11, 0x3000, 1}, {2, 10, 0x3000, 0},  {3, 5, 0x3000, 0},
                        {2, 11, 0, 0},      {2, 200, 0x3000, 1}, {2, 11, 0xFFF0, 0}};
  const uint16_t strings[6] = {0x2000, 0x2000, 0x2000, 0x2000, 0x2000, 0x2000};
  PutString(0x2000, "x", 0);
  for (const Case& c : cases) {
    ResetProcessState();
    BiosInterface.BiosSegment = kFakeSegmentLinear;
    PutDmi(0x1000, c.major, c.minor, strings, c.offset);
    ReadBiosSegmentCopy(nullptr);
    ReadSystemDmi();
    EXPECT_EQ(DmiStrings.SystemDmi.SystemUuidPresent, c.present)
        << int{c.major} << "." << int{c.minor} << " at " << c.offset;
    HeapFreeIfSet(DmiStrings.BiosSegmentCopy);
    DmiStrings.BiosSegmentCopy = nullptr;
  }
}

TEST_F(DiscoveryTest, StringsThatCannotBeCopiedWholeAreAbsentNotClipped) {
  // Offset 0; 78 characters (81 bytes with length, terminator and balance); a field that would
  // end past the segment; and one good string for contrast.
  const uint16_t strings[6] = {0, 0x2100, 0xFFF0, 0x2300, 0, 0};
  PutDmi(0x1000, 2, 11, strings, 0);
  PutString(0x2100, std::string(78, 'm'), 0);
  fake.segment[0xFFEF] = 0x20;  // 32 characters from 0xFFF0 would end past 0x10000
  PutString(0x2300, "V1.0", 0x44);
  BiosInterface.BiosSegment = kFakeSegmentLinear;
  ReadBiosSegmentCopy(nullptr);
  ReadSystemDmi();
  const SystemDmiRecord& d = DmiStrings.SystemDmi;
  EXPECT_EQ(d.SystemDmiPresent, 1u);
  EXPECT_EQ(SystemDmiRead.StringPresent[static_cast<int>(DmiStringId::kSerialNumber)], 0u);
  EXPECT_EQ(SystemDmiRead.StringPresent[static_cast<int>(DmiStringId::kManufacturer)], 0u);
  EXPECT_EQ(SystemDmiRead.StringPresent[static_cast<int>(DmiStringId::kProduct)], 0u);
  EXPECT_EQ(SystemDmiRead.StringPresent[static_cast<int>(DmiStringId::kVersion)], 1u);
  EXPECT_EQ(d.Manufacturer.Length(), 0);
  EXPECT_STREQ(d.Manufacturer.Text(), "");
  EXPECT_EQ(d.Product.Length(), 0);
  EXPECT_STREQ(d.Version.Text(), "V1.0");
}

TEST_F(DiscoveryTest, ASegmentWithoutBcpDmiLeavesTheSystemRecordEmpty) {
  BiosInterface.BiosSegment = kFakeSegmentLinear;
  ReadBiosSegmentCopy(nullptr);
  ReadSystemDmi();
  EXPECT_EQ(DmiStrings.SystemDmi.SystemDmiPresent, 0u);
  EXPECT_EQ(DmiStrings.SystemDmi.SystemUuidPresent, 0u);
  EXPECT_STREQ(DmiStrings.SystemDmi.Serial.Text(), "");
}

}  // namespace
}  // namespace ql::testing
