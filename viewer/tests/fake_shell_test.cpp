#include "fake_shell.h"

#include <gtest/gtest.h>

namespace tavolin::ui::testing {
namespace {

TEST(FakeShellTest, PromptsAnswerFromScriptThenFallBack) {
  FakeShell shell;
  shell.scripted.answers = {PromptAnswer::Yes};
  EXPECT_EQ(shell.prompts().showMessage(nullptr, "a", "b", PromptButtons::YesNo), PromptAnswer::Yes);
  EXPECT_EQ(shell.prompts().showMessage(nullptr, "c", "d", PromptButtons::YesNo), PromptAnswer::No);
  EXPECT_EQ(shell.prompts().showMessage(nullptr, "e", "f", PromptButtons::Ok), PromptAnswer::Ok);
  ASSERT_EQ(shell.scripted.messages.size(), 3u);
  EXPECT_EQ(shell.scripted.messages[1].caption, "d");
  EXPECT_TRUE(shell.prompts().openFile(nullptr, "t", "f", "/x").isEmpty());
  EXPECT_EQ(shell.scripted.fileDialogs.at(0).startFolder, "/x");
}

}  // namespace
}  // namespace tavolin::ui::testing
