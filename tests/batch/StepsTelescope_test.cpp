// The go-to steps against a serial port whose far end never answers: the step fails with the message
// naming the port; against the simulated mount the same steps print its reply.
#include <gtest/gtest.h>

#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/SilentPty.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(BatchTelescopeTest, GotoStepsReportATelescopeThatDoesNotAnswer) {
  for (const std::string step :
       {"telescope-goto m 31", "telescope-coords 5 34 22 1", "telescope-goto s 905"}) {
    SCOPED_TRACE(step);
    test::TempDir drive;
    test::SilentPty pty(drive.path() / "com1");
    ASSERT_TRUE(pty.ok());
    const test::BatchRun silent = test::RunBatch(drive.path(), "setting guide_interface l " + step);
    EXPECT_EQ(silent.status, 1) << silent.out;
    EXPECT_NE(silent.err.find("The telescope did not answer on serial port 1 (" +
                              (drive.path() / "com1").string() + ")"),
              std::string::npos)
        << silent.err;
    EXPECT_EQ(pty.Drain().substr(0, 2), "#:") << "the commands reached the port";

    // The simulated mount on the same drive answers: status 0 and its reply.
    test::TempDir sim_drive;
    const test::BatchRun answered =
        test::RunBatch(sim_drive.path(), "--simulate setting guide_interface l " + step);
    EXPECT_EQ(answered.status, 0) << answered.err;
    EXPECT_EQ(answered.err.find("did not answer"), std::string::npos);
  }
}

}  // namespace
}  // namespace nyxel
