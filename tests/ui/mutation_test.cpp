#include <gtest/gtest.h>

#include "mutation.h"
#include "ui_data.h"

namespace {

// A few seconds of mutated documents and archives; tests/ui/ui_mutate runs
// the same harness for as long as one likes.
TEST(Mutation, BadMarkupAndArchivesNeitherCrashNorBreakTheTables) {
  const auto corpus = kwtest::DefaultCorpus({kwtest::UiData(L"zip-skin.zip"), kwtest::UiData(L"python-skin.zip"),
                                             kwtest::UiData(L"corrupt.zip")});
  ASSERT_FALSE(corpus.archives[0].empty());
  const kwtest::MutationReport report = kwtest::RunMutations(corpus, 20261209, 30000);
  for (const std::string& fault : report.faults) ADD_FAILURE() << fault;
  // The edits must leave enough intact to reach the deeper code.
  EXPECT_GT(report.markupParsed, report.markupRuns / 20);
  EXPECT_GT(report.archivesOpened, report.archiveRuns / 10);
  EXPECT_GT(report.entriesRead, 0);
}

}  // namespace
