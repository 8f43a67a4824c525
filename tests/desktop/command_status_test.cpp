// The status texts of Ctrl+N, Ctrl+H and Ctrl+J, from the scenes before and after.
#include "app/desktop/command_status.h"

#include <gtest/gtest.h>

namespace tessarin::desktop {
namespace {

TEST(CommandStatus, NamesTheQuestionMarkedOrReachedAndOnlyWhenSomethingHappened) {
  const CommandScene on_test{"テスト用紙 【40】", {4, 20}, 5, 10};
  CommandScene marked = on_test;
  marked.changes = 11;
  EXPECT_EQ(StatusAfter("K_ThisQSisNG", on_test, marked), "問 5 を間違いとして記録しました");
  EXPECT_EQ(StatusAfter("K_ThisQSisHITU", on_test, marked), "問 5 を必出として記録しました");
  // Nothing written (the add-in said why in a box): nothing to add.
  EXPECT_EQ(StatusAfter("K_ThisQSisNG", on_test, on_test), "");
  // Marked from the question sheet, by its row.
  const CommandScene on_questions{"ミラトス", {7, 4}, std::nullopt, 3};
  CommandScene row_marked = on_questions;
  row_marked.changes = 4;
  EXPECT_EQ(StatusAfter("K_ThisQSisNG", on_questions, row_marked),
            "7 行目の問題を間違いとして記録しました");
  // Jumps both ways; a jump that went nowhere says nothing.
  EXPECT_EQ(StatusAfter("K_GoJUMP", on_test, on_questions),
            "問 5 の問題文（7 行目）へ移動しました");
  EXPECT_EQ(StatusAfter("K_GoJUMP", on_questions, on_test), "テスト用紙の問 5 へ移動しました");
  EXPECT_EQ(StatusAfter("K_GoJUMP", on_test, on_test), "");
  EXPECT_EQ(StatusAfter("K_START", on_test, marked), "");
}

}  // namespace
}  // namespace tessarin::desktop
