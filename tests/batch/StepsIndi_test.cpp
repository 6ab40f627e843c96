// telescope-indi against a real indiserver with INDI's simulators: the choice is saved and used by the
// next run, the telescope steps go to the INDI mount, and the failures end the run with status 1.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/IndiServer.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

std::string Conf(const std::filesystem::path& drive) {
  std::ifstream in(drive / "autosave" / "nyxel.conf");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(StepsIndi, ChoiceSavedUsedAndRefused) {
  test::TempDir dir;
  // Bad arguments are usage errors; nothing is saved.
  for (const char* steps :
       {"telescope-indi on", "telescope-indi host:0 Mount", "telescope-indi :7624 Mount"}) {
    EXPECT_EQ(test::RunBatch(dir.path(), steps).status, 2) << steps;
  }
  EXPECT_EQ(Conf(dir.path()).find("indi.enabled = 1"), std::string::npos);
  // No server: the message within seconds, status 1, the choice not saved.
  const auto start = std::chrono::steady_clock::now();
  const test::BatchRun none =
      test::RunBatch(dir.path(), "--simulate telescope-indi localhost:" + std::to_string(test::FreePort()) +
                                     " 'Telescope Simulator'");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10);
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("There is no INDI server at localhost:"), std::string::npos) << none.err;
  EXPECT_EQ(Conf(dir.path()).find("indi.enabled = 1"), std::string::npos);

  if (!test::IndiServerInstalled()) GTEST_SKIP() << "indi-bin is not installed";
  test::IndiServer server;
  ASSERT_TRUE(server.Start());
  const std::string where = "localhost:" + std::to_string(server.port());
  const test::BatchRun chosen =
      test::RunBatch(dir.path(), "--simulate telescope-indi " + where +
                                     " 'Telescope Simulator' 'Focuser Simulator' guide-pulse n 300");
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  const std::string conf = Conf(dir.path());
  EXPECT_NE(conf.find("indi.enabled = 1"), std::string::npos) << conf;
  EXPECT_NE(conf.find("indi.mount = Telescope Simulator"), std::string::npos) << conf;
  EXPECT_NE(conf.find("indi.port = " + std::to_string(server.port())), std::string::npos) << conf;

  // A later run uses the saved choice: a Messier go-to reports the object of date; NGC numbers fail.
  const test::BatchRun m31 = test::RunBatch(dir.path(), "--simulate telescope-goto m 31");
  ASSERT_EQ(m31.status, 0) << m31.err;
  const auto lines = test::OutputLines(m31.out);
  ASSERT_EQ(lines.size(), 2u) << m31.out;
  EXPECT_EQ(lines[0], "0");
  EXPECT_EQ(lines[1].rfind("M31 RA00:4", 0), 0u) << lines[1];
  const test::BatchRun ngc = test::RunBatch(dir.path(), "--simulate telescope-goto c 224");
  EXPECT_EQ(ngc.status, 1);
  EXPECT_NE(ngc.err.find("NGC 224 is only in the LX200's own catalogue"), std::string::npos) << ngc.err;

  // A device the server lacks is named with the ones it has.
  const test::BatchRun wrong = test::RunBatch(dir.path(), "telescope-indi " + where + " 'LX200 Basic'");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("Devices found: \"Focuser Simulator\", \"Telescope Simulator\"."),
            std::string::npos)
      << wrong.err;

  // Off: back on the serial link (the simulated LX200 mount answers the go-to again).
  ASSERT_EQ(test::RunBatch(dir.path(), "telescope-indi off").status, 0);
  EXPECT_NE(Conf(dir.path()).find("indi.enabled = 0"), std::string::npos);
  const test::BatchRun serial = test::RunBatch(dir.path(), "--simulate telescope-goto m 31");
  EXPECT_EQ(serial.status, 0) << serial.err;
  EXPECT_EQ(test::OutputLines(serial.out).size(), 2u);
}

}  // namespace
}  // namespace nyxel
