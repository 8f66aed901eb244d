// The viewer's requests to its host, carried out by the shell's
// HostServices on the platform layer instead of a recording fake.
#include <gtest/gtest.h>

#include "TestViewer.h"
#include "platform/Input.h"
#include "runtime/OwnedBuffer.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/ShellHost.h"
#include "viewer/Viewer.h"

namespace shell {
namespace {

class ViewerOnShellHostTest : public runtime::ThreadFixture {
 protected:
  testing::TestViewer shellSide;
  testsupport::ShellHost shellHost{&shellSide};
  viewer::Viewer viewer{&context, &shellHost.services};
};

TEST_F(ViewerOnShellHostTest, MessageFromACooperativeThreadRunsAsARealMessageBox) {
  bool returned = false;
  Start([&](runtime::LibraryContext*) {
    viewer.ShowMatchCount(3);
    returned = true;
  });
  scheduler.ThreadSwitch(nullptr);
  EXPECT_FALSE(returned);
  // The box comes up on the main stack and Enter closes it.
  platform::InjectKeyDown(platform::VK_RETURN);
  runtime::Scheduler::RunForMilliseconds(&context, 10);
  EXPECT_TRUE(returned);
  EXPECT_EQ(viewer.currentModal, nullptr);
  EXPECT_EQ(shellSide.modalBegins, 1);
  EXPECT_EQ(shellSide.modalEnds, 1);
}

TEST_F(ViewerOnShellHostTest, QuestionsAnswerYesAndNo) {
  platform::InjectKeyDown(platform::VK_ESCAPE);
  EXPECT_FALSE(viewer.AskResumeFromStart());
  platform::InjectKeyDown(platform::VK_RETURN);
  EXPECT_TRUE(viewer.AskResumeFromEnd());
}

TEST_F(ViewerOnShellHostTest, PasswordDialogGivesWhatWasTypedOrCancels) {
  runtime::OwnedBuffer typed(&context, &context, 0);
  platform::InjectChar(u'p');
  platform::InjectChar(u'w');
  platform::InjectSoftKey(0);
  EXPECT_FALSE(viewer.RequestPassword(&typed));
  ASSERT_GE(typed.Count(), 2u);
  EXPECT_EQ(typed[0], 'p');
  EXPECT_EQ(typed[1], 'w');
  // Escape cancels: the viewer is told no password came.
  platform::InjectKeyDown(platform::VK_ESCAPE);
  EXPECT_TRUE(viewer.RequestPassword(&typed));
}

}  // namespace
}  // namespace shell
