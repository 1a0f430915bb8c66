// The Quillrun program on scripts, against the scripted data manager.
#include "tests/runner/RunnerFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace zk::runner::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

class RunnerScript : public RunnerFixture {
 protected:
  std::string ConnectLine() const { return "CONNECT EXTERNAMD " + ModuleDir() + "\n"; }

  // With the fake set up as fake says, script ends with exit code 1 after
  // the messages.
  void ExpectFailure(const std::vector<std::pair<std::string, std::string>>& fake, const std::string& script,
                     const Lines& messages) {
    WriteFile(Dir() + "/fake.ini", "[Fake]\n");
    for (const auto& [key, value] : fake) Fake(key, value);
    const RunResult run = Run(script);
    EXPECT_EQ(run.exitCode, 1) << script;
    EXPECT_EQ(Messages(run.err), messages) << script;
  }
  // Runs lines after the connect line, which succeed; the calls that begin
  // with prefix.
  Lines GoodRunCalls(const std::string& lines, const std::string& prefix) {
    const RunResult run = Run(ConnectLine() + lines);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return Calls(prefix);
  }
};

TEST_F(RunnerScript, ConnectLogsInWithTheModuleDescriptionAndSelectsTheExternalFlash) {
  // The second library's description says EXTERNAL FLASH, the first's not.
  Fake("Libraries", "5 0x9999 0xa7 2; 2 0x2202 0xa7 1");
  const RunResult run = Run("connect externamd " + ModuleDir() + "\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(Messages(run.err), IsEmpty());
  EXPECT_THAT(Calls("DmLogin"), ElementsAre("DmLogin " + ModuleDir() + "/modul.ini"));
  // The list is read to its end before the rule chooses.
  EXPECT_THAT(Calls("DmFindFlashLib"), ElementsAre("DmFindFlashLib 0 0", "DmFindFlashLib 1 0", "DmFindFlashLib 1 0"));
  EXPECT_THAT(Calls("DmSelectFlashLib"), ElementsAre("DmSelectFlashLib 2 1"));
  EXPECT_THAT(Calls("DmExitZelkor"), IsEmpty());
}

TEST_F(RunnerScript, ConnectFindsTheModuleDescriptionIgnoringCaseAndKeepsTheDirectorysSpelling) {
  std::filesystem::rename(ModuleDir() + "/modul.ini", ModuleDir() + "/MODUL.INI");
  EXPECT_THAT(GoodRunCalls("", "DmLogin"), ElementsAre("DmLogin " + ModuleDir() + "/MODUL.INI"));
}

TEST_F(RunnerScript, ConnectWithAnotherFlashTypeFindsNoLibrary) {
  const RunResult run = Run("CONNECT INTERNAL " + ModuleDir() + "\nDOWNLOAD\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("no lib found on mc", "Error connecting"));
  EXPECT_THAT(Calls("DmExitZelkor"), ElementsAre("DmExitZelkor 0 0"));
  EXPECT_THAT(Calls("DmProgFlash"), IsEmpty()) << "the run ends at the failure";
}

TEST_F(RunnerScript, ConnectFailures) {
  const Lines login{"Login failed", "Error connecting"};
  ExpectFailure({{"LoginStatus", "241"}}, ConnectLine(), login);
  ExpectFailure({{"LoginResult", "250"}}, ConnectLine(), login);
  ExpectFailure({{"CheckOld", "239"}}, ConnectLine(), {"Checkoldzk", "Error connecting"});
  ExpectFailure({{"Libraries", "0 0 0 0"}}, ConnectLine(), {"no lib found on mc", "Error connecting"});
}

TEST_F(RunnerScript, ConnectWithoutTheNamedDataManagerSaysSo) {
  WriteFile(ModuleDir() + "/modul.ini", "[General]\nDmDLL=NoSuchDm\n");
  const RunResult run = Run(ConnectLine());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("Connect: Data modul dll not loaded.", "Error connecting"));
}

TEST_F(RunnerScript, EraseSectorErasesTheNumberedSectorsWithTheirRanges) {
  // Sectors 0..3 of 16 KB from 0, then 4..6 of 64 KB from 0x10000.
  EXPECT_THAT(GoodRunCalls("ERASESECTOR 3 5 ; the comment is ignored\n", "DmEraseSectors"),
              ElementsAre("DmEraseSectors 0xc000 0xffff 0", "DmEraseSectors 0x10000 0x1ffff 0",
                          "DmEraseSectors 0x20000 0x2ffff 0"));
  EXPECT_THAT(Calls("DmGetSectorInfos"), ElementsAre("DmGetSectorInfos current"));
  EXPECT_THAT(Calls("unreturned"), IsEmpty());
}

TEST_F(RunnerScript, EraseSectorBoundaries) {
  // A number past the last sector erases nothing, not even the sectors
  // that exist.
  ExpectFailure({}, ConnectLine() + "ERASESECTOR 6 4294967295\n",
                {"ERASESECTOR: sector 7 does not exist; the module has sectors 0 to 6", "Error erasing sector"});
  EXPECT_THAT(Calls("DmEraseSectors"), IsEmpty());
  EXPECT_THAT(GoodRunCalls("ERASESECTOR 5 3\nERASESECTOR 6 6\n", "DmEraseSectors"),
              ElementsAre("DmEraseSectors 0x30000 0x3ffff 0"));
}

TEST_F(RunnerScript, AnEraseThatFailsFailsTheCommand) {
  Fake("EraseStatus", "1");
  RunResult run = Run(ConnectLine() + "ERASESECTOR 0 2\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("EraseSector: The operation failed", "Error erasing sector"));
  EXPECT_EQ(Calls("DmEraseSectors").size(), 1u) << "no erase after the failed one";
  EXPECT_THAT(Calls("unreturned"), IsEmpty()) << "the erase result list went back";

  Fake("EraseStatus", "0");
  Fake("EraseResult", "66");
  run = Run(ConnectLine() + "ERASESECTOR 3 3\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err),
              ElementsAre("EraseSector: The specified address is protected by software.", "Error erasing sector"));
}

TEST_F(RunnerScript, EraseSectorWithoutALayout) {
  Fake("SectorInfosResult", "225");
  const RunResult run = Run(ConnectLine() + "ERASESECTOR 0 1\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("GetSectorInfos", "Error erasing sector"));
  EXPECT_THAT(Calls("DmEraseSectors"), IsEmpty());
  EXPECT_THAT(Calls("unreturned"), IsEmpty());
}

TEST_F(RunnerScript, EraseChip) {
  EXPECT_THAT(GoodRunCalls("ERASECHIP\n", "DmEraseChip"), ElementsAre("DmEraseChip"));

  ExpectFailure({{"EraseChipResult", "35"}}, ConnectLine() + "ERASECHIP\n", {"EraseChip", "Error erasing chip"});
  EXPECT_THAT(Calls("unreturned"), IsEmpty());
}

TEST_F(RunnerScript, LoadHexTakesItsModeFromTheExtensionAndKeepsThePathsSpelling) {
  EXPECT_THAT(GoodRunCalls("LOADHEX /Images/Main.hex\n"
                           "LOADHEX Images\\Boot.H86\n"
                           "LOADHEX /Images/Data.bin\n"
                           "LOADHEX \"Dir With Blank/Image\"\n",
                           "DmLoadFile"),
              ElementsAre("DmLoadFile /Images/Main.hex 0", "DmLoadFile Images/Boot.H86 0",
                          "DmLoadFile /Images/Data.bin 1", "DmLoadFile Dir With Blank/Image 1"));
}

TEST_F(RunnerScript, LoadHexAndDownloadFailures) {
  const std::string load = ConnectLine() + "LOADHEX a.hex\n";
  const Lines loadFailed{"LoadFile", "Error loading hex file"};
  ExpectFailure({{"LoadStatus", "224"}}, load, loadFailed);
  ExpectFailure({{"LoadResult", "1"}}, load, loadFailed);

  const std::string download = ConnectLine() + "DOWNLOAD\n";
  ExpectFailure({{"ProgStatus", "224"}}, download, {"File not loaded", "Error programming"});
  ExpectFailure({{"ProgStatus", "241"}}, download, {"Download", "Error programming"});
  ExpectFailure({{"ProgResult", "224"}}, download, {"File not loaded", "Error programming"});
  // Without a data manager the download cannot pass for a good one.
  ExpectFailure({}, "DOWNLOAD\n", {"Download", "Error programming"});
}

TEST_F(RunnerScript, DownloadProgramsABinaryImageAtZeroAndAHexImageAtItsBank) {
  EXPECT_THAT(GoodRunCalls("SELECTBANK 2\n"
                           "LOADHEX a.bin\nDOWNLOAD\n"
                           "LOADHEX a.hex\nDOWNLOAD\n"
                           "SELECTBANK 0\nDOWNLOAD\n",
                           "DmProgFlash"),
              ElementsAre("DmProgFlash 0", "DmProgFlash 0x20000", "DmProgFlash 0"));
}

TEST_F(RunnerScript, LoadFileTakesItsModeFromTheContentAndDownloadPlacesPagesAtTheBank) {
  WriteFile(Dir() + "/s.bin", "S9030000FC\n");
  WriteFile(Dir() + "/e.hex",
            "\x7F"
            "ELF");
  WriteFile(Dir() + "/h", ":00000001FF\n");
  WriteFile(Dir() + "/b.hex", "\x01\x02");
  const std::string load = "LOADFILE " + Dir();
  EXPECT_THAT(
      GoodRunCalls(load + "/s.bin\n" + load + "/e.hex\n" + load + "/h\n" + load + "/b.hex\n" + load + "/missing.s19\n",
                   "DmLoadFile"),
      ElementsAre("DmLoadFile " + Dir() + "/s.bin 2", "DmLoadFile " + Dir() + "/e.hex 3",
                  "DmLoadFile " + Dir() + "/h 0", "DmLoadFile " + Dir() + "/b.hex 0",
                  "DmLoadFile " + Dir() + "/missing.s19 2"));
  WriteFile(Dir() + "/b.bin", "\x01\x02");
  EXPECT_THAT(GoodRunCalls("SELECTBANK 2\n" + load + "/s.bin\nDOWNLOAD\n" + load + "/b.bin\nDOWNLOAD\n", "DmProgFlash"),
              ElementsAre("DmProgFlash 0x20000", "DmProgFlash 0"));
  ExpectFailure({{"LoadStatus", "225"}}, ConnectLine() + load + "/s.bin\n", {"LoadFile", "Error loading file"});
  // The file's fault, where the data manager names it, under the box's text.
  ExpectFailure({{"LoadStatus", "225"}, {"LoadProblem", "line 2: the file ends inside a record"}},
                ConnectLine() + load + "/s.bin\n",
                {"LoadFile", "line 2: the file ends inside a record", "Error loading file"});
}

TEST_F(RunnerScript, DisconnectSendsTheExitRequest) {
  EXPECT_THAT(GoodRunCalls("DISCONNECT JUMP 4096\n"
                           "DISCONNECT SWRESET\n"
                           "DISCONNECT hwreset\n"
                           "DISCONNECT\n",
                           "DmExitZelkor"),
              ElementsAre("DmExitZelkor 1 4096", "DmExitZelkor 2 0", "DmExitZelkor 3 0", "DmExitZelkor 0 0"));
}

TEST_F(RunnerScript, MessagesSwitchesAndComments) {
  const RunResult run =
      Run("; a script\n"
          "\n"
          "MESSAGE \"flash done\" ; shown upper-cased\n"
          "ENABLE VERBOSE\nDISABLE VERBOSE\nSELECTBANK 1\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(Messages(run.err), ElementsAre("FLASH DONE"));
}

TEST_F(RunnerScript, WordChecksEndTheRunWithTheLineNumber) {
  struct Case {
    std::string script;
    std::string message;
  };
  const Case cases[] = {
      {"SELECTBANK 1\n  DOWNLOAD\n", "Unknown command in line 2"},
      {"\n\nFROB\n", "Unknown command in line 3"},
      {"MESSAGE a b c d\n", "To many arguments in line 1"},
      {"MESSAGE " + std::string(128, 'x') + "\n", "Line 1 to long"},
      {"; " + std::string(260, 'x') + " ERASECHIP\n", "Line 1 to long"},
      {"CONNECT EXTERNAMD\n", "Missing argument in line 1"},
      {"MESSAGE\n", "Missing argument in line 1"},
      {"ERASESECTOR 1\n", "Missing argument in line 1"},
      {"LOADHEX\n", "Missing argument in line 1"},
      {"SELECTBANK\n", "Missing argument in line 1"},
      {"DISCONNECT JUMP\n", "Missing argument in line 1"},
      {"ERASESECTOR x 5\n", "Invalid number in line 1"},
      {"SELECTBANK 65536\n", "Invalid number in line 1"},
      {"DISCONNECT JUMP 0x10G\n", "Invalid number in line 1"},
      {"DISABLE\n", "Missing argument in line 1"},
      {"DISCONNECT SOMETHING\n", "Invalid argument in line 1"},
      {"SELECTBANK 1\nENABLE SOMETHING\n", "Invalid argument in line 2"},
      {"DISABLE VERBOSES\n", "Invalid argument in line 1"},
  };
  for (const Case& c : cases) {
    const RunResult run = Run(c.script);
    EXPECT_EQ(run.exitCode, 1) << c.message;
    EXPECT_THAT(Messages(run.err), ElementsAre(c.message));
  }
  EXPECT_THAT(Calls(), IsEmpty()) << "nothing reached the data manager";
}

TEST_F(RunnerScript, AScriptThatCannotBeOpened) {
  RunOptions options;
  options.args = {"--console", Dir() + "/missing.qrs"};
  RunResult run = RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(Messages(run.err), ElementsAre("File " + Dir() + "/missing.qrs not found"));

  options.args = {"--console", Dir()};
  run = RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 2);
}

TEST_F(RunnerScript, WithoutAScriptTheConsolePrintsItsUsage) {
  RunOptions options;
  options.args = {"--console"};
  RunResult run = RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, ::testing::HasSubstr("Usage: Quillrun"));

  options.args = {"--help"};
  run = RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.out, ::testing::HasSubstr("Usage: Quillrun"));

  options.args = {"--frobnicate", "x.qrs"};
  run = RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, ::testing::HasSubstr("unknown option --frobnicate"));
}

TEST_F(RunnerScript, VerboseShowsTheStatusAsPercentageLines) {
  Fake("Polls", "3");
  Fake("Progress", "40");
  const RunResult run = Run("ENABLE VERBOSE\n" + ConnectLine() + "LOADHEX a.hex\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(Messages(run.err), ElementsAre("Connecting...", "Connecting... 40%", "Connecting... 100%",
                                             "Loading filea.hex", "Loading filea.hex 40%", "Loading filea.hex 100%"));
}

TEST_F(RunnerScript, CtrlCCancelsTheRunningOperation) {
  Fake("Polls", "-1");
  Fake("InterruptAtPoll", "2");
  const RunResult run = Run(ConnectLine());
  // The login never ends by itself: Ctrl-C stops it, CONNECT fails.
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("Error connecting"));
  EXPECT_THAT(Calls("DmStopCurrentThread"), ElementsAre("DmStopCurrentThread"));
}

TEST_F(RunnerScript, ARefusedStopIsRepeatedAfterItsMessage) {
  Fake("Polls", "-1");
  Fake("InterruptAtPoll", "1");
  Fake("StopResults", "1 1 0");
  const RunResult run = Run(ConnectLine());
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(Messages(run.err).size(), 3u) << run.err;
  EXPECT_THAT(Messages(run.err)[0], ::testing::StartsWith("ErrorCode: "));
  EXPECT_THAT(Messages(run.err)[2], "Error connecting");
  EXPECT_EQ(Calls("DmStopCurrentThread").size(), 3u);
}

TEST_F(RunnerScript, WithCancelDisabledCtrlCIsRefusedAndTheOperationGoesOn) {
  Fake("Polls", "5");
  Fake("InterruptAtPoll", "2");
  const RunResult run = Run("DISABLE CANCEL\n" + ConnectLine() + "MESSAGE done\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(Messages(run.err), ElementsAre("Cancel is disabled; Ctrl-C again ends the program", "DONE"));
  EXPECT_THAT(Calls("DmStopCurrentThread"), IsEmpty());
}

TEST_F(RunnerScript, CtrlCInALibraryCallThatIsNotPolledWaitsForItsEnd) {
  // ERASECHIP is one call that nothing interrupts: Ctrl-C is refused there
  // and the run goes on.
  Fake("InterruptsInEraseChip", "1");
  RunResult run = Run(ConnectLine() + "ERASECHIP\nMESSAGE done\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(Messages(run.err), ElementsAre("Cancel is disabled; Ctrl-C again ends the program", "DONE"));
  // A second one ends the run once the call has returned, and disconnects.
  Fake("InterruptsInEraseChip", "2");
  run = Run(ConnectLine() + "ERASECHIP\nMESSAGE never\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("Cancel is disabled; Ctrl-C again ends the program", "interrupted"));
  EXPECT_THAT(Calls("DmExitZelkor"), ElementsAre("DmExitZelkor 0 0"));
}

TEST_F(RunnerScript, ASecondCtrlCEndsTheRunWhileAStopIsRefused) {
  Fake("Polls", "-1");
  Fake("InterruptAtPoll", "1");
  Fake("InterruptInStop", "1");
  Fake("StopResults", "1");
  const RunResult run = Run(ConnectLine() + "MESSAGE never\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, ::testing::HasSubstr("Quillrun: interrupted"));
  EXPECT_THAT(run.err, ::testing::Not(::testing::HasSubstr("NEVER")));
}

}  // namespace
}  // namespace zk::runner::test

namespace zk::runner::test {

TEST_F(RunnerScript, VerifyAndUploadRefusalsBeforeTheModuleIsAsked) {
  // The scripted data manager is an older one: it has no DmVerifyFlash.
  ExpectFailure({}, ConnectLine() + "ENABLE VERIFY\nDOWNLOAD\n",
                {"Verify is not available: the data manager has no DmVerifyFlash", "Error programming"});
  ExpectFailure({}, ConnectLine() + "VERIFY\n", {"Nothing downloaded to verify in line 2"});
  ExpectFailure({}, ConnectLine() + "UPLOAD 100 0x1G x.bin\n", {"Invalid address in line 2"});
  ExpectFailure({}, ConnectLine() + "UPLOAD 200 100 x.bin\n", {"Invalid address in line 2"});
}

}  // namespace zk::runner::test
