// The records as bytes: what this system writes, and records of another
// product or of no kind at all.
#include "preset_support.h"

namespace presets_test {
namespace {

using RecordTest = PresetSystemTest;

template <size_t N>
std::array<uint8_t, N> toRecord(const Bytes& b) {
  std::array<uint8_t, N> r{};
  std::memcpy(r.data(), b.data(), std::min(N, b.size()));
  return r;
}

TEST_F(RecordTest, WrittenLittleEndianByteForByte) {
  orv::Valdris v(host);
  CPresetSystemEditor* editor = editorOf(v);
  ASSERT_NE(editor, nullptr);
  const Bytes bank = bankRecord(kValdrisId);
  editor->readBank(toRecord<orv::kBankRecordSize>(bank), false);

  orv::BankRecord writtenBank{};
  editor->writeBank(writtenBank);
  EXPECT_EQ(Bytes(writtenBank.begin(), writtenBank.end()), bank);

  v.selectPreset(3);
  orv::PresetRecord writtenPreset{};
  editor->writePreset(writtenPreset);
  EXPECT_EQ(Bytes(writtenPreset.begin(), writtenPreset.end()), presetRecord(kValdrisId, "Bank 3", false, 3));
  // "Tq8w" with its least significant byte first, then "!".
  EXPECT_EQ(std::string(writtenPreset.begin(), writtenPreset.begin() + 5), "w8qT!");
}

TEST_F(RecordTest, RecordsThatAreNotThisProductsChangeNoPreset) {
  struct Case {
    const char* what;
    Bytes preset, bank;
  };
  Bytes presetWithBankType = presetRecord(kValdrisId, "Typed");
  presetWithBankType[4] = 0x37;
  Bytes bankWithPresetType = bankRecord(kValdrisId);
  bankWithPresetType[4] = 0x21;
  const Case cases[] = {
      {"the other product's", presetRecord(kNimletId, "Nimlet"), bankRecord(kNimletId)},
      {"the other product's, big-endian", presetRecord(kNimletId, "Nimlet", true), bankRecord(kNimletId, true)},
      {"the other record type", presetWithBankType, bankWithPresetType},
      {"all zero", Bytes(165, 0), Bytes(2565, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    orv::Valdris v(host);
    v.selectPreset(5);
    const std::vector<Preset> before = tableOf(v);
    editorOf(v)->readPreset(toRecord<orv::kPresetRecordSize>(c.preset), false);
    EXPECT_TRUE(sameTable(tableOf(v), before));
    EXPECT_EQ(v.getPresetIndex(), 5);
    // A bank selects preset 0 before it looks at the record.
    editorOf(v)->readBank(toRecord<orv::kBankRecordSize>(c.bank), false);
    EXPECT_TRUE(sameTable(tableOf(v), before));
    EXPECT_EQ(v.getPresetIndex(), 0);
    for (int i = 1; i < orv::kNumPresetParams; ++i) EXPECT_EQ(v.getParameter(i), before[0].values[i]) << i;
  }
}

}  // namespace
}  // namespace presets_test
