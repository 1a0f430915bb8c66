// Port settings, language and the settings dialog of the transport.
#include "link/EntryList.h"
#include "link/StringTable.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/MessageBox.h"
#include "platform/SerialPort.h"
#include "tests/link/NetFixture.h"
#include "tests/support/Env.h"
#include "tests/support/Wine.h"

#include <string>

namespace zk::test {
namespace {

using namespace zk::link;

class NetSettingsTest : public NetFixture {
 protected:
  uint8_t Select(const std::string& file, const char* section = kSection) {
    return ports.SelectParams(file.c_str(), section);
  }
};

TEST(EntryListTest, SplitsAtBlanksAndCommasAndLeavesOutWhatDoesNotFit) {
  EntryList list{"old"};
  ParseEntryList(" COM3,,COM5\tCOM123456 COM1234567, ", list);
  EXPECT_EQ(list, (EntryList{"COM3", "COM5", "COM123456"}));
  ParseEntryList(" , ", list);
  EXPECT_EQ(list.size(), 3u);  // nothing in it: the list stays
  std::string many;
  for (int i = 0; i < 300; ++i) many += "x ";
  ParseEntryList(many, list);
  EXPECT_EQ(list.size(), kMaxEntries);
  EXPECT_EQ(LeadingDecimal("55zz"), 55u);
  EXPECT_EQ(LeadingDecimal("zz"), 0u);
  EXPECT_EQ(LeadingDecimal("99999999999"), 0xFFFFFFFFu);
}

TEST_F(NetSettingsTest, PortAndRateResolveOnlyFromExactTexts) {
  struct Case {
    const char* lines;
    uint8_t resolved;
    uint16_t port;
    uint16_t rate;
  };
  const Case cases[] = {
      {"COM=COM10\nBaud=9600\n", 1, 10, 9600},
      {"COM=com1\nBaud=9600\n", 0, 2, 9600},
      {"COM=COM010\nBaud=9600\n", 0, 2, 9600},
      {"COM=COM257\nBaud=9600\n", 0, 2, 9600},
      {"COM=COM3\nBaud=4800\n", 0, 2, 9600},  // not in the list
      {"COM=COM3\nBaud=19200\nBaudList=115200,19200\n", 1, 3, 19200},
      {"COM=COM3\nBaud=115200\nBaudList=115200,19200\n", 0, 2, 9600},  // does not fit the link
      {"Baud=9600\n", 0, 2, 9600},                                     // no port: "(no)"
      {"COM=\nBaud=9600\n", 0, 2, 9600},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string file = dir.Write("case" + std::to_string(n++) + ".ini", std::string("[RS232]\n") + c.lines);
    EXPECT_EQ(Select(file), c.resolved) << c.lines;
    EXPECT_EQ(ports.portNumber(), c.port) << c.lines;
    EXPECT_EQ(ports.baudRate(), c.rate) << c.lines;
  }
}

TEST_F(NetSettingsTest, SettingsAreKeptForTheSameFileAndSectionAndReloadedForAnother) {
  const std::string first = dir.Write("first.ini", "[RS232]\nCOM=COM5\nBaud=9600\n[Other]\nCOM=COM8\nBaud=9600\n");
  const std::string second = dir.Write("second.ini", "[RS232]\nCOM=COM6\nBaud=19200\n");
  ASSERT_EQ(Select(first), 1);
  EXPECT_EQ(ports.portNumber(), 5);
  dir.Write("first.ini", "[RS232]\nCOM=COM7\nBaud=9600\nSendLockTime=9\n");
  ASSERT_EQ(Select(first), 1);
  EXPECT_EQ(ports.portNumber(), 5);            // kept in memory
  EXPECT_EQ(ports.choice().sendLockTime, 9u);  // read at every call
  ASSERT_EQ(Select(second), 1);
  EXPECT_EQ(ports.portNumber(), 6);  // another module: its own port
  EXPECT_EQ(ports.baudRate(), 19200);
  ASSERT_EQ(Select(first), 1);
  EXPECT_EQ(ports.portNumber(), 7);
  dir.Write("first.ini", "[RS232]\nCOM=COM7\nBaud=9600\n[Other]\nCOM=COM8\nBaud=9600\n");
  ASSERT_EQ(Select(first, "Other"), 1);
  EXPECT_EQ(ports.portNumber(), 8);
}

TEST_F(NetSettingsTest, PortListComesFromTheFileOrTheFixedFourOrAScan) {
  Select(dir.Write("list.ini", "[RS232]\nCOMList=COM9, COM2\nNoCOMScan=1\n"));
  EXPECT_EQ(ports.settings().comList, (EntryList{"COM9", "COM2"}));
  Select(dir.Write("four.ini", "[RS232]\nNoCOMScan=1\nBaudList=57600, 9600\n"));
  EXPECT_EQ(ports.settings().comList, (EntryList{"COM1", "COM2", "COM3", "COM4"}));
  EXPECT_EQ(ports.settings().baudList, (EntryList{"57600", "9600"}));
  availablePorts = {7, 3, 256};
  Select(dir.Write("scan.ini", "[RS232]\n"));
  EXPECT_EQ(ports.settings().comList, (EntryList{"COM3", "COM7", "COM256"}));
  EXPECT_EQ(ports.settings().baudList, (EntryList{"9600", "19200", "38400", "57600"}));
  availablePorts.clear();
  Select(dir.Write("none.ini", "[RS232]\n"));
  EXPECT_TRUE(ports.settings().comList.empty());
}

TEST_F(NetSettingsTest, ThePlatformScanFindsTheFreePortsOnly) {
  if (UnderWine()) GTEST_SKIP() << kWineSharesPorts;
  line.BindPort(199);
  EXPECT_TRUE(com::PortAvailable(199));
  auto held = com::OpenSerialPort(199, 9600);
  ASSERT_TRUE(held);
  EXPECT_FALSE(com::PortAvailable(199));
}

TEST_F(NetSettingsTest, LanguageFollowsTheLocaleKeys) {
  const auto baseOf = [&](const std::string& text) {
    const std::string file = dir.Write("lang.ini", text);
    Select(file);
    return ports.language().stringBase;
  };
  zk::test::SetEnv("LC_ALL", "en_US.UTF-8");
  EXPECT_EQ(baseOf("[Locale]\nCountry=49\n"), kGermanStringBase);
  EXPECT_EQ(baseOf("[Locale]\nCountry=1\n"), kEnglishStringBase);
  EXPECT_EQ(baseOf("[Locale]\nCountry=33\n"), kEnglishStringBase);
  dir.Write("cfg.ini", "[Locale]\nCountry=49\n");
  EXPECT_EQ(baseOf("[Locale]\nCfgFile=cfg.ini\n"), kGermanStringBase);
  EXPECT_EQ(baseOf("[Locale]\nCfgFile=" + dir.path() + "/cfg.ini\n"), kGermanStringBase);
  EXPECT_EQ(baseOf("[Locale]\nCfgFile=missing.ini\n"), kEnglishStringBase);
  zk::test::SetEnv("LC_ALL", "de_DE.UTF-8");
  EXPECT_EQ(baseOf("[RS232]\n"), kGermanStringBase);  // the system's language
  EXPECT_EQ(ports.language().languageId, 0x0800);
  zk::test::UnsetEnv("LC_ALL");
}

class RecordingBoxes : public MessageBoxHandler {
 public:
  int Show(std::string_view text, std::string_view caption, uint32_t type) override {
    shown.push_back({std::string(text), std::string(caption), type});
    return IDOK;
  }
  struct Box {
    std::string text, caption;
    uint32_t type;
  };
  std::vector<Box> shown;
};

TEST_F(NetSettingsTest, SelectNodeShowsTheNodeTextInTheModulesLanguage) {
  RecordingBoxes boxes;
  SetMessageBoxHandler(&boxes, false);
  EXPECT_EQ(ports.SelectNode(dir.Write("de.ini", "[Locale]\nCountry=49\n").c_str()), 1);
  EXPECT_EQ(ports.SelectNode(dir.Write("en.ini", "[Locale]\nCountry=1\n").c_str()), 1);
  SetMessageBoxHandler(nullptr, false);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].caption, "Auswahl Zielknoten");
  EXPECT_EQ(boxes.shown[0].text.substr(0, 40), "Bei einer seriellen Punkt- zu Punk-Verbi");
  EXPECT_EQ(boxes.shown[1].caption, "Select target node");
  EXPECT_EQ(boxes.shown[1].text, std::string(LinkString(27101)));
  EXPECT_EQ(boxes.shown[1].type, MB_OK | MB_ICONINFORMATION);
  EXPECT_EQ(LinkString(26000), "RS232 Fehler");
  EXPECT_EQ(LinkString(27002),
            "The network layer could not be initialized.\nAccess to the PLC system is not possible.");
  EXPECT_TRUE(LinkString(6101).empty());
}

class FakeDialog : public SettingsDialog {
 public:
  std::optional<DialogChoice> Run(const DialogSetup& given) override {
    setup = given;
    ++runs;
    return answer;
  }
  DialogSetup setup;
  std::optional<DialogChoice> answer;
  int runs = 0;
};

TEST_F(NetSettingsTest, DialogOffersTheListsAndWritesTheChoiceBack) {
  const std::string file = dir.Write(
      "dlg.ini",
      "[Locale]\nCountry=49\n[RS232]\nCOM=com2\nBaud=192\nCOMList=COM1 COM2 COM3\nExtConfiguration=1\nRawMode=1\n");
  FakeDialog dialog;
  dialog.answer = DialogChoice{std::string("COM3"), std::nullopt, false};
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, &dialog), 1);
  EXPECT_EQ(dialog.setup.templateId, 25500u);
  EXPECT_EQ(dialog.setup.comList, (EntryList{"COM1", "COM2", "COM3"}));
  EXPECT_EQ(dialog.setup.comSelection, 1u);   // prefix, ignoring case
  EXPECT_EQ(dialog.setup.baudSelection, 1u);  // "192" begins "19200"
  EXPECT_TRUE(dialog.setup.extended);
  EXPECT_TRUE(dialog.setup.rawChecked);
  EXPECT_EQ(zk::ini::GetString(file, kSection, "COM", "", 255), "COM3");
  EXPECT_EQ(zk::ini::GetString(file, kSection, "Baud", "", 255), "192");  // no selection: unchanged
  EXPECT_EQ(zk::ini::GetString(file, kSection, "RawMode", "", 255), "0");
  // The dialog changes the texts only; NetSelectParams applies them.
  EXPECT_EQ(ports.portNumber(), 2);
  dialog.answer->baud = "9600";
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, &dialog), 1);
  EXPECT_EQ(ports.SelectParams(file.c_str(), kSection), 1);
  EXPECT_EQ(ports.portNumber(), 3);

  dialog.answer.reset();  // Cancel
  const std::string before = *zk::files::ReadAll(file);
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, &dialog), 0);
  EXPECT_EQ(*zk::files::ReadAll(file), before);
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, nullptr), 0);  // no toolkit
  EXPECT_EQ(dialog.runs, 3);
}

TEST_F(NetSettingsTest, DialogWithoutExtendedConfigurationNeitherShowsNorWritesRawMode) {
  const std::string file = dir.Write("plain.ini", "[RS232]\nCOM=(none)\nNoCOMScan=1\n");
  FakeDialog dialog;
  dialog.answer = DialogChoice{std::string("COM4"), std::string("57600"), true};
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, &dialog), 1);
  EXPECT_EQ(dialog.setup.templateId, 26500u);
  EXPECT_FALSE(dialog.setup.extended);
  EXPECT_FALSE(dialog.setup.comSelection.has_value());
  EXPECT_EQ(zk::ini::GetString(file, kSection, "RawMode", "absent", 255), "absent");
  EXPECT_EQ(zk::ini::GetString(file, kSection, "Baud", "", 255), "57600");
}

TEST_F(NetSettingsTest, AChoiceThatCannotBeWrittenIsNotReportedAsWritten) {
  const std::string file = dir.path() + "/missing/modul.ini";
  FakeDialog dialog;
  dialog.answer = DialogChoice{std::string("COM2"), std::nullopt, false};
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, &dialog), 0);
  EXPECT_EQ(dialog.runs, 1);
}

}  // namespace
}  // namespace zk::test
