// Child processes: this test program started again as the child, in the
// role ZK_CHILD_ROLE gives it.
#include "platform/ChildProcess.h"
#include "platform/CommandLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace zk::process {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kRole{"--gtest_filter=ChildRole.DISABLED_Act", "--gtest_also_run_disabled_tests"};

// What the child does: "echo" shows its arguments after the filter, one a
// line, says something on standard error and exits with 7; "hang" says it
// is ready and waits to be killed. Disabled: it runs only when asked for.
TEST(ChildRole, DISABLED_Act) {
  const char* role = std::getenv("ZK_CHILD_ROLE");
  if (role == nullptr) GTEST_SKIP() << "only as a child";
  if (std::string(role) == "echo") {
    const std::vector<std::string> argv = testing::internal::GetArgvs();
    for (std::size_t i = 1 + kRole.size(); i < argv.size(); ++i) std::printf("arg[%s]\n", argv[i].c_str());
    std::fputs("on standard error\n", stderr);
    std::fflush(nullptr);
    std::exit(7);
  }
  std::puts("ready");
  std::fflush(stdout);
  std::this_thread::sleep_for(60s);
  std::exit(1);
}

// Reads both streams until they end (at most a minute), without the
// carriage returns a child on Windows writes.
void ReadToEnd(ChildProcess& child, std::string& out, std::string& err) {
  ChildProcess* const children[] = {&child};
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while ((child.Open(Stream::kOut) || child.Open(Stream::kErr)) && std::chrono::steady_clock::now() < deadline) {
    ChildProcess::WaitForOutput(children, 100ms);
    child.Read(Stream::kOut, out);
    child.Read(Stream::kErr, err);
  }
  std::erase(out, '\r');
  std::erase(err, '\r');
}

TEST(ChildProcess, PassesArgumentsAndEnvironmentAndGivesOutputAndExitCode) {
  const std::vector<std::string> args{"plain", "two words", "a \"quote\"", "trailing\\", "back\\\\\"slash", ""};
  std::vector<std::string> argv = kRole;
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child;
  ASSERT_TRUE(child.Start(ZK_TEST_PROGRAM, argv, {{"ZK_CHILD_ROLE", "echo"}})) << child.Error();
  std::string out;
  std::string err;
  ReadToEnd(child, out, err);
  const std::optional<Exit> exit = child.Wait();
  ASSERT_TRUE(exit);
  EXPECT_EQ(exit->code, 7);
  EXPECT_EQ(exit->signal, 0);
  std::string expected;
  for (const std::string& arg : args) expected += "arg[" + arg + "]\n";
  EXPECT_NE(out.find(expected), std::string::npos) << out;
  EXPECT_NE(err.find("on standard error\n"), std::string::npos) << err;
  EXPECT_FALSE(child.Running());
}

TEST(ChildProcess, KillEndsAChildThatHangs) {
  ChildProcess child;
  ASSERT_TRUE(child.Start(ZK_TEST_PROGRAM, kRole, {{"ZK_CHILD_ROLE", "hang"}})) << child.Error();
  ChildProcess* const children[] = {&child};
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  // "ready" with the line end of the child's system.
  while (out.find("ready") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    ChildProcess::WaitForOutput(children, 100ms);
    child.Read(Stream::kOut, out);
  }
  ASSERT_NE(out.find("ready"), std::string::npos);
  EXPECT_FALSE(child.Poll());
  child.Kill();
  std::string err;
  ReadToEnd(child, out, err);
  const std::optional<Exit> exit = child.Wait();
  ASSERT_TRUE(exit);
  EXPECT_EQ(exit->signal, 9);
  EXPECT_EQ(exit->code, 128 + 9);
}

TEST(ChildProcess, AProgramThatIsNotThereIsNotStarted) {
  ChildProcess child;
  EXPECT_FALSE(child.Start(std::string(ZK_TEST_PROGRAM) + ".missing", {}));
  EXPECT_NE(child.Error().find("cannot start"), std::string::npos) << child.Error();
  EXPECT_FALSE(child.Running());
  EXPECT_FALSE(child.Open(Stream::kOut));
}

TEST(WindowsCommandLine, QuotesWhatTheParserWouldSplitOrUnescape) {
  EXPECT_EQ(WindowsCommandLine({"C:\\Program Files\\z.exe", "plain", "two words", ""}),
            "\"C:\\Program Files\\z.exe\" plain \"two words\" \"\"");
  // Backslashes double only before a quote, the argument's or the closing one.
  EXPECT_EQ(WindowsCommandLine({"z", "a\\b", "say \"hi\"", "dir\\ x\\", "q\\\"", "tab\there"}),
            "z a\\b \"say \\\"hi\\\"\" \"dir\\ x\\\\\" \"q\\\\\\\"\" \"tab\there\"");
}

}  // namespace
}  // namespace zk::process
