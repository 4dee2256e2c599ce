// jetlift-cli's contract: exit status, where errors go, and the shapes of its output.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "../corpus.h"

namespace {

struct Result {
  int status = -1;
  std::string out;
};

// Runs the tool with `args` (already shell-quoted); stderr is dropped unless asked for.
Result run(const std::string& args, bool withStderr = false) {
  const std::string command = std::string("'") + JETLIFT_CLI + "' " + args + (withStderr ? " 2>&1" : " 2>/dev/null");
  Result r;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  const int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

std::string file(const std::string& name) { return "'" + corpus::path(name) + "'"; }

TEST(Cli, BadUsageExitsWithTwo) {
  EXPECT_EQ(run("").status, 2);
  EXPECT_EQ(run("frobnicate").status, 2);
  EXPECT_EQ(run("tables").status, 2);
  EXPECT_EQ(run("export " + file("jet3-mdbtestdata-nwind.mdb")).status, 2);
}

TEST(Cli, HelpGoesToStdoutAndSucceeds) {
  const Result r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage"), std::string::npos);
}

TEST(Cli, VersionReportsEachFileAndFailsWhenOneIsNotADatabase) {
  const Result r = run("version " + file("jet3-mdbtestdata-nwind.mdb") + " " +
                       file("notjet-lmdb-data.mdb"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("nwind.mdb\t3.0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("lmdb-data.mdb\terror\t3343\t"), std::string::npos) << r.out;
}

TEST(Cli, MissingFileIsAnErrorOnStderr) {
  const Result quiet = run("tables /nonexistent/x.mdb");
  EXPECT_EQ(quiet.status, 1);
  EXPECT_TRUE(quiet.out.empty());
  EXPECT_NE(run("tables /nonexistent/x.mdb", true).out.find("Could not find"), std::string::npos);
}

TEST(Cli, ExportWritesAHeaderAndOneRecordPerRow) {
  const Result r = run("export " + file("jet4-jackcess-test-access2000.mdb") + " Table1");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), "A,B,C,D,E,F,G,H,I");
  EXPECT_NE(r.out.find("\r\nabcdefg,hijklmnop,2,222,333333333,444.555,1974-09-21T00:00:00,3.5000,true\r\n"),
            std::string::npos)
      << r.out;
}

TEST(Cli, DumpOfAnUnknownTableFails) {
  EXPECT_EQ(run("dump " + file("jet3-mdbtestdata-nwind.mdb") + " NoSuchTable").status, 1);
}

TEST(Cli, DumpStartsWithTheVersion) {
  const Result r = run("dump " + file("jet3-mdbtestdata-nwind.mdb") + " Shippers");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("{\"version\":\"3.0\",\"tables\":[{\"name\":\"Shippers\"", 0), 0u) << r.out;
}

}  // namespace
