// What the conversion reports as lost, line by line, against accounts
// written by hand for each kind, and nothing for lines that keep all.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

struct Account {
  LossKind kind;
  std::string detail;
  bool operator==(const Account&) const = default;
};

void PrintTo(const Account& account, std::ostream* os) {
  *os << static_cast<int>(account.kind) << " \"" << account.detail << "\"";
}

class Recorder : public LineObserver {
 public:
  void Lost(std::uint64_t line, LossKind kind, const std::string& detail) override {
    lines.push_back(line);
    accounts.push_back({kind, detail});
  }
  std::vector<std::uint64_t> lines;
  std::vector<Account> accounts;
};

std::vector<Account> Losses(const std::string& line, bool cut = false) {
  Recorder recorder;
  DescribeLosses(line, 7, recorder, cut);
  for (const std::uint64_t number : recorder.lines)
    EXPECT_EQ(number, 7u) << line;
  return recorder.accounts;
}

TEST(Losses, LinesThatKeepEverythingAreNotReported) {
  const char* const lines[] = {
      // Options whose 3.5 value is their 4.0 value, under either name.
      "-gz0,0",
      "-gd100",
      "-gm3,2,3,1",
      "-gc0,0,0,0,0,39",
      "-gs3,35,5,10,25",
      "-it60",
      "-il10",
      // Values carried over scaled, and options that pass unchanged.
      "-gx0.5,0.5",
      "-gx",
      "-dp1,2",
      "-iv1",
      "-ip2",
      "-iv",
      "-zz5",
      "-m1000",
      "-GZ0,0",
      // Lines of no family, a layer line without a colon.
      "5 1 2",
      "s 1 2",
      ",comment",
      "-y3",
      "-y255",
      // Numeric records that keep all their fields.
      "0 1 1.5",
      "1 2 0.5,0.5",
      "2 1 1.5 1.5 1.75 1.5 0 90 0.01 90",
      "2 1",
      "6 2 90 1 2 0.5 0.25 7",
      // Pads: no rotation, a whole turn, 90 and 270 with their sizes
      // exchanged, 180 (the pad itself), a square pad at any quarter turn.
      "3 1 0 1 2 3 4 5 0 1",
      "3 1 0 1 2 3 4 5 360 1",
      "3 1 0 1 2 3 4 5 -360 1",
      "3 1 0 1 2 3 4 5 90 1",
      "3 1 0 1 2 3 4 5 270 1 U1",
      "3 1 0 1 2 3 4 5 180 1",
      "3 1 0 1 2 3 4 5 90.0 1",
      "3 1 0 1 2 3 3 5 -90 1",
      "3 1 0 1 2 3 3 5 450 1",
      "3 1 0 1 2 3 4 5 0 1 U1",
      "3 1 0 1 2 3 4 5 0 1  U1",
      "3 1 0 1 2 3 4 5 0 1 ",
      "3 1 0 1 2",
      // Texts anchored at 0, at angles from 0 to 360, fields after the 9th.
      "4 7 0.1 0.5 0.25 0.5 0 0",
      "4 7 0.1 0.5 0.25 0.5 360 0",
      "4 7 0.1 0.5 0.25 0.5 90",
      "4 7 0.1 0.5 0.25 0.5 0 0 ",
      "4 7 0.1 0.5 0.25 0.5 0 0  ",
      "4 12 0.1 0.5 0.25 0.5 0 0.0",
  };
  for (const char* line : lines)
    EXPECT_EQ(Losses(line), std::vector<Account>{}) << line;
}

TEST(Losses, EachKindAgainstItsAccount) {
  using enum LossKind;
  const std::string long_values(100, '7');
  const struct {
    std::string line;
    std::vector<Account> accounts;
  } cases[] = {
      {"", {{kBanner, "riga vuota sostituita dalla riga del convertitore"}}},
      {"S 1 2", {{kBanner, "record sostituito dalla riga del convertitore: S 1 2"}}},
      {"Aabc", {{kBanner, "record sostituito dalla riga del convertitore: Aabc"}}},
      {"-gt5", {{kBanner, "opzione sostituita dalla riga del convertitore: -gt5"}}},
      {"-ga", {{kBanner, "opzione sostituita dalla riga del convertitore: -ga"}}},

      {"-gz12,34", {{kFixedOption, "opzione sostituita da -gz0,0: -gz12,34"}}},
      {"-gz0,0,0", {{kFixedOption, "opzione sostituita da -gz0,0: -gz0,0,0"}}},
      {"-gd50", {{kFixedOption, "opzione sostituita da -gd100: -gd50"}}},
      {"-it5", {{kFixedOption, "opzione sostituita da -t60: -it5"}}},
      {"-it", {{kFixedOption, "opzione sostituita da -t60: -it"}}},
      {"-iv2", {{kFixedOption, "opzione sostituita da -p40v0,2: -iv2"}}},
      {"-ip1,0", {{kFixedOption, "opzione sostituita da -p60r20,0: -ip1,0"}}},
      {"-gp1",
       {{kFixedOption,
         "opzione sostituita da -hp2223440000000000 / -hs1.0000,0,0,0,0,0,0,0,0 / -hm0,0,0,3: "
         "-gp1"}}},
      {"-ix", {{kFixedOption, "opzione sostituita da -nr0 / -nh3: -ix"}}},
      // A long line is quoted by its first 60 bytes.
      {"-gz" + long_values,
       {{kFixedOption, "opzione sostituita da -gz0,0: -gz" + long_values.substr(0, 57) + "…"}}},

      // ... never inside a UTF-8 character.
      {"-gz" + std::string(56, 'a') + "\xC3\xA8x",
       {{kFixedOption, "opzione sostituita da -gz0,0: -gz" + std::string(56, 'a') + "…"}}},
      {"-gz" + std::string(55, 'a') + "\xC3\xA8x",
       {{kFixedOption, "opzione sostituita da -gz0,0: -gz" + std::string(55, 'a') + "\xC3\xA8…"}}},

      {"3 1 0 1 2 3 4 5 45 1", {{kPadRotation, "rotazione della piazzola di 45 gradi persa"}}},
      {"3 1 0 1 2 3 4 5 135.5 1",
       {{kPadRotation, "rotazione della piazzola di 135.5 gradi persa"}}},
      // Quarter turns the exchange does not see.
      {"3 1 0 1 2 3 4 5 -90 1",
       {{kPadRotation, "rotazione della piazzola di -90 gradi persa: misure non scambiate"}}},
      {"3 1 0 1 2 3 4 5 450 1",
       {{kPadRotation, "rotazione della piazzola di 450 gradi persa: misure non scambiate"}}},
      {"3 1 0 1 2 3 4 5 -270 1",
       {{kPadRotation, "rotazione della piazzola di -270 gradi persa: misure non scambiate"}}},
      // Field 11 is written only when it is the last.
      {"3 1 0 1 2 3 4 5 0 1 U1 X", {{kFields, "campi 11-12 non riportati: U1 X"}}},
      {"3 1 0 1 2 3 4 5 0 1 U1 ", {{kFields, "campo 11 non riportato: U1"}}},
      {"3 1 0 1 2 3 4 5 0 1  U1 X", {{kFields, "campi 11-12 non riportati: U1 X"}}},
      {"3 1 0 1 2 3 4 5 45 1 U1 X",
       {{kPadRotation, "rotazione della piazzola di 45 gradi persa"},
        {kFields, "campi 11-12 non riportati: U1 X"}}},

      {"2 1 1.5 1.5 1.75 1.5 0 90 0.01 90 A", {{kFields, "campo 11 non riportato: A"}}},
      {"2 1 1.5 1.5 1.75 1.5 0 90 0.01 90 A  B", {{kFields, "campi 11-12 non riportati: A  B"}}},
      {"2 123 1.5 1.5 1.75 1.5 0 90 0.01 90 A",
       {{kFields,
         "campi 1-2 tagliati a 4 caratteri, non riportato: 3; campo 11 non riportato: A"}}},
      {"6 123 90 1 2 0.5 0.25 7",
       {{kFields, "campi 1-2 tagliati a 4 caratteri, non riportato: 3"}}},
      {"6abcd 1", {{kFields, "campi 1-2 tagliati a 4 caratteri, non riportato: d 1"}}},

      {"4 7 0.1 0.5 0.25 0.5 0 0 0 U1", {{kFields, "campo 9 non riportato: 0"}}},
      {"4 7 0.1 0.5 0.25 0.5 0 0 x", {{kFields, "campo 9 non riportato: x"}}},
      {"4 7 0.1 0.5 0.25 0.5 0 5 0 U1",
       {{kAnchor, "ancoraggio 5 del testo riportato nella posizione"},
        {kFields, "campo 9 non riportato: 0"}}},
      {"4 7 0.1 0.5 0.25 0.5 0 3", {{kAnchor, "ancoraggio 3 del testo riportato nella posizione"}}},
      {"4 7 0.1 0.5 0.25 0.5 0 16", {{kAnchor, "ancoraggio 16 del testo perso"}}},
      {"4 7 0.1 0.5 0.25 0.5 0 2.5", {{kAnchor, "ancoraggio 2.5 del testo perso"}}},
      {"4 7 0.1 0.5 0.25 0.5 -90 0", {{kTextRotation, "rotazione del testo di -90 gradi persa"}}},
      {"4 7 0.1 0.5 0.25 0.5 360.5", {{kTextRotation, "rotazione del testo di 360.5 gradi persa"}}},
      {"4 123 0.1 0.5 0.25 0.5 400 1 2 A B",
       {{kTextRotation, "rotazione del testo di 400 gradi persa"},
        {kAnchor, "ancoraggio 1 del testo riportato nella posizione"},
        {kFields, "campi 1-2 tagliati a 4 caratteri, non riportato: 3; campo 9 non riportato: 2"}}},

      {"-y1:00FF0000,0,0,0,00,3,Top Copper",
       {{kColour, "colore FF0000 ridotto al colore 4"},
        {kLayerSettings, "impostazioni del layer non riportate: 0,0,0,00"}}},
      {"-y12:00FF0000,0,0,0,00,12,Foo",
       {{kColour, "colore FF0000 ridotto al colore 5"},
        {kLayerSettings, "impostazioni del layer non riportate: 0,0,0,00"}}},
      {"-y1:01FF0000,0,0,0,00,3,Ratnest",
       {{kColour, "colore FF0000 sostituito dal colore 0 (indicatore 1)"},
        {kLayerSettings, "impostazioni del layer non riportate: 0,0,0,00"}}},
      // The short field is all there is between colour and name: kept.
      {"-y1:00FF0000,,,,,,,,,,3,Top Copper", {{kColour, "colore FF0000 ridotto al colore 4"}}},
      {"-y7:00C0C0C0", {{kColour, "colore C0C0C0 ridotto al colore 11"}}},
      {"-y3:", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Losses(c.line), c.accounts) << c.line;
}

TEST(Losses, StreamedLineIsQuotedAsCut) {
  using enum LossKind;
  EXPECT_EQ(
      Losses("S 1 2 3", true),
      (std::vector<Account>{{kBanner, "record sostituito dalla riga del convertitore: S 1 2 3…"}}));
  EXPECT_EQ(
      Losses("-gt1,2", true),
      (std::vector<Account>{{kBanner, "opzione sostituita dalla riga del convertitore: -gt1,2…"}}));
  // Cut, its values are not the 3.5 values whatever they begin with.
  EXPECT_EQ(Losses("-it60", true),
            (std::vector<Account>{{kFixedOption, "opzione sostituita da -t60: -it60…"}}));
  // A line that passes unchanged passes so whatever its length.
  EXPECT_EQ(Losses("-iv1 2 3", true), std::vector<Account>{});
  EXPECT_EQ(Losses("5 1 2", true), std::vector<Account>{});
}

// The whole conversion tells each lossy line once, under its line number
// (the header is line 1), in the order of the file, on one thread or more;
// a line too long to be held is quoted as cut.
class LossesConvertTest : public SourceFolderTest {};

TEST_F(LossesConvertTest, ConversionReportsTheLossyLinesInOrder) {
  using enum LossKind;
  const std::string streamed = "-gz" + std::string(600'000, '1');
  Write("IN.PCB", "TAVREL Version 4.0 -- Data File.\r\n-gz0,0\r\nS 1\r\n" + streamed +
                      "\r\n-gd100\r\n-y255:00FFFFFF,,,,,,,,,9,Top Silk\r\n3 1 0 1 2 3 4 5 "
                      "-90 1\r\n0 1 1.5");
  for (const unsigned threads : {1u, 2u}) {
    Recorder recorder;
    RecordingSink sink;
    AnalysisRequest request{dir_, "IN.PCB", output_, kPoint};
    request.threads = threads;
    request.observer = &recorder;
    ASSERT_TRUE(Analizza(request, sink).converted);
    EXPECT_EQ(recorder.lines, (std::vector<std::uint64_t>{3, 4, 6, 7}));
    EXPECT_EQ(
        recorder.accounts,
        (std::vector<Account>{
            {kBanner, "record sostituito dalla riga del convertitore: S 1"},
            {kFixedOption, "opzione sostituita da -gz0,0: -gz" + std::string(57, '1') + "…"},
            {kColour, "colore FFFFFF ridotto al colore 7"},
            {kPadRotation, "rotazione della piazzola di -90 gradi persa: misure non scambiate"}}));
  }
}

}  // namespace
}  // namespace tavrel
